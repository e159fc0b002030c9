// Drive letters on POSIX systems name devices the way Windows programs on
// Unix do: the link "<letter in lower case>::" in a dosdevices folder. The
// library's presence test and any engine that names drives by letter find
// that folder by this one rule.
#ifndef RKDOSDEVICES_H
#define RKDOSDEVICES_H

#include <cstddef>
#include <cstdlib>
#include <cstring>

// $RKDRV_DOSDEVICES, else $WINEPREFIX/dosdevices, else $HOME/.wine/dosdevices
// (a variable that is empty counts as unset), written into szPath of nSize
// bytes, terminator included, without allocating: the presence test asks
// on every poll. False when none of the variables is set or the folder
// would not fit whole.
inline bool RKDosDevicesFolder(char* szPath, std::size_t nSize)
{
    struct RKRule
    {
        const char* szVariable;
        const char* szBelow;
    };
    const RKRule aRules[] = {
        {"RKDRV_DOSDEVICES", ""}, {"WINEPREFIX", "/dosdevices"}, {"HOME", "/.wine/dosdevices"}};
    for (const RKRule& stRule : aRules)
    {
        const char* szFolder = std::getenv(stRule.szVariable);
        if (!szFolder || !*szFolder)
            continue;
        std::size_t nFolder = std::strlen(szFolder);
        std::size_t nBelow = std::strlen(stRule.szBelow);
        if (nFolder + nBelow >= nSize)
            return false;
        std::memcpy(szPath, szFolder, nFolder);
        std::memcpy(szPath + nFolder, stRule.szBelow, nBelow + 1);
        return true;
    }
    return false;
}

#endif
