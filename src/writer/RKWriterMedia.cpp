#include "RKWriter.h"

int CRKWriter::IsMediaIn()
{
    // Media presence is not built yet: no drive reports a medium.
    return 0;
}

RKMediaInfo CRKWriter::WaitMedia()
{
    // The wait on one drive is not built yet: report the medium as it is.
    return GetMediaInfo();
}

int CRKWriter::WaitMedia(DWORD dwMediaType, DWORD dwDiscType)
{
    RKMediaInfo stResult = WaitMedia();
    return (stResult.dwMediaType == dwMediaType && stResult.dwDiscType == dwDiscType) ? 1 : 0;
}
