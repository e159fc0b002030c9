#include "RKString.h"

#include <cstdarg>
#include <cstring>
#include <new>

#include "RKTextUtil.h"

namespace
{
const unsigned short s_szEmpty[1] = {0};
}

CRKString::CRKString() : m_szText(nullptr), m_dwLength(0) {}

CRKString::CRKString(const char* szText) : m_szText(nullptr), m_dwLength(0)
{
    *this = szText;
}

CRKString::CRKString(const unsigned short* szText) : m_szText(nullptr), m_dwLength(0)
{
    Assign(szText, RKTextLength(szText));
}

CRKString::CRKString(const CRKString& strOther) : m_szText(nullptr), m_dwLength(0)
{
    Assign(strOther.m_szText, strOther.m_dwLength);
}

CRKString::~CRKString()
{
    delete[] m_szText;
}

CRKString& CRKString::operator=(const unsigned short* szText)
{
    Assign(szText, RKTextLength(szText));
    return *this;
}

CRKString& CRKString::operator=(const char* szText)
{
    DWORD dwLength = szText ? static_cast<DWORD>(std::strlen(szText)) : 0;
    unsigned short* szNew = nullptr;
    if (dwLength > 0)
    {
        szNew = new (std::nothrow) unsigned short[dwLength + 1];
        if (!szNew)
            dwLength = 0;
    }
    if (szNew)
    {
        // Bytes are Latin-1, whose code points are the byte values.
        for (DWORD i = 0; i < dwLength; ++i)
            szNew[i] = static_cast<unsigned char>(szText[i]);
        szNew[dwLength] = 0;
    }
    delete[] m_szText;
    m_szText = szNew;
    m_dwLength = dwLength;
    return *this;
}

CRKString& CRKString::operator=(const CRKString& strOther)
{
    if (this != &strOther)
        Assign(strOther.m_szText, strOther.m_dwLength);
    return *this;
}

CRKString::operator const unsigned short*() const
{
    return GetText();
}

const unsigned short* CRKString::GetText() const
{
    return m_szText ? m_szText : s_szEmpty;
}

DWORD CRKString::GetLength() const
{
    return m_dwLength;
}

bool CRKString::IsEmpty() const
{
    return m_dwLength == 0;
}

int CRKString::Format(const unsigned short* szFormat, ...)
{
    RKText strOut;
    va_list vaArgs;
    va_start(vaArgs, szFormat);
    try
    {
        RKFormatV(strOut, szFormat, vaArgs);
    }
    catch (...)
    {
        strOut.clear();
    }
    va_end(vaArgs);
    Assign(RKTextPtr(strOut), static_cast<DWORD>(strOut.size()));
    return static_cast<int>(m_dwLength);
}

void CRKString::Assign(const unsigned short* szText, DWORD dwLength)
{
    // Copied before the old buffer goes, since szText may point into it.
    unsigned short* szNew = nullptr;
    if (dwLength > 0)
    {
        szNew = new (std::nothrow) unsigned short[dwLength + 1];
        if (!szNew)
            dwLength = 0;
    }
    if (szNew)
    {
        // Out of memory leaves the string empty: nothing may throw out.
        std::memcpy(szNew, szText, dwLength * sizeof(unsigned short));
        szNew[dwLength] = 0;
    }
    delete[] m_szText;
    m_szText = szNew;
    m_dwLength = dwLength;
}
