// Drive devices of the POSIX backend. A drive letter names what the link
// "<letter in lower case>::" in the dosdevices folder points at; the folder
// is $RKDRV_DOSDEVICES, else $WINEPREFIX/dosdevices, else
// $HOME/.wine/dosdevices.
#ifndef RKOSDEVICE_POSIX_H
#define RKOSDEVICE_POSIX_H

#include "RKOsLayer.h"

// Opens the device that "\\.\X:" names, for either case of X. Null for any
// other path, a letter without a link, or a target that is neither a block
// device nor a regular file.
RKOsDevice RKPosixOpenDevice(const unsigned short* szPath);
// Optical drive: a ready disc; other block device: a size above 0; regular
// file (a disc image): not empty.
int RKPosixCheckMedia(RKOsDevice hDevice);
void RKPosixCloseDevice(RKOsDevice hDevice);

#endif
