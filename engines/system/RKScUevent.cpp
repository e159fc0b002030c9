#include "RKScUevent.h"

#include <cstring>

namespace
{
// The field at nAt: up to its zero byte, or to the end of the bytes.
std::string FieldAt(const std::uint8_t* pbData, std::size_t nLength, std::size_t nAt, std::size_t& nNext)
{
    const void* pEnd = std::memchr(pbData + nAt, 0, nLength - nAt);
    std::size_t nEnd =
        pEnd ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(pEnd) - pbData) : nLength;
    nNext = nEnd + 1;
    return std::string(reinterpret_cast<const char*>(pbData + nAt), nEnd - nAt);
}

bool Takes(const std::string& strField, const char* szKey, std::string& strValue)
{
    std::size_t nKey = std::strlen(szKey);
    if (strField.compare(0, nKey, szKey) != 0)
        return false;
    strValue = strField.substr(nKey);
    return true;
}
} // namespace

RKScUevent RKScParseUevent(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScUevent stEvent;
    if (!pbData || nLength == 0)
    {
        stEvent.strProblem = "empty event";
        return stEvent;
    }
    if (nLength > RKSC_UEVENT_MAX)
    {
        stEvent.strProblem =
            "event of " + std::to_string(nLength) + " bytes, longer than any the kernel sends";
        return stEvent;
    }
    std::size_t nAt = 0;
    std::string strHeader = FieldAt(pbData, nLength, 0, nAt);
    // Events that the device manager passes on to programs start
    // otherwise ("libudev"); only the kernel's own are read.
    std::string::size_type nSign = strHeader.find('@');
    if (nSign == std::string::npos || nSign == 0 || nSign + 1 == strHeader.size())
    {
        stEvent.strProblem = "no ACTION@DEVPATH header";
        return stEvent;
    }
    stEvent.strAction = strHeader.substr(0, nSign);
    std::string strValue;
    while (nAt < nLength)
    {
        std::string strField = FieldAt(pbData, nLength, nAt, nAt);
        // The header's action stands unless a field names one.
        if (Takes(strField, "ACTION=", strValue) && !strValue.empty())
            stEvent.strAction = strValue;
        else if (Takes(strField, "SUBSYSTEM=", strValue))
            stEvent.strSubsystem = strValue;
        else if (Takes(strField, "DEVNAME=", strValue))
            stEvent.strDevName = strValue;
        else if (strField == "DISK_MEDIA_CHANGE=1")
            stEvent.bMediaChange = true;
        else if (strField == "DISK_EJECT_REQUEST=1")
            stEvent.bEjectRequest = true;
    }
    stEvent.bOk = true;
    return stEvent;
}
