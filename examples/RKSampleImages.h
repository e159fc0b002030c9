// Where the sample engine finds its discs, shared by the engine and the
// hosts that simulate drives for it: RKDRV_SAMPLE_IMAGES names a folder, and
// drive E holds a disc while "e.iso" there is a non-empty file.
#ifndef RKSAMPLEIMAGES_H
#define RKSAMPLEIMAGES_H

#include <string>

#include "RKTypes.h"

#define RKSAMPLE_IMAGES_VARIABLE "RKDRV_SAMPLE_IMAGES"

// The image file that holds drive wLetter's disc: "e.iso" for E.
inline std::string RKSampleImageName(WORD wLetter)
{
    char cLetter = static_cast<char>(wLetter);
    if (cLetter >= 'A' && cLetter <= 'Z')
        cLetter = static_cast<char>(cLetter - 'A' + 'a');
    return std::string(1, cLetter) + ".iso";
}

#endif
