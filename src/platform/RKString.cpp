#include "RKString.h"

#include <cstdarg>
#include <cstring>
#include <new>

#include "RKTextUtil.h"

namespace
{
const unsigned short s_szEmpty[1] = {0};

unsigned short WidenCharacter(char c)
{
    // Bytes are Latin-1, whose code points are the byte values.
    return static_cast<unsigned char>(c);
}

unsigned short WidenCharacter(unsigned short w)
{
    return w;
}

// The one way a string's text is replaced. The copy is made before the old
// buffer goes, since szText may point into it. Out of memory leaves the
// string empty: nothing may throw out.
template <typename TChar>
void ReplaceText(unsigned short*& szOwned, DWORD& dwOwnedLength, const TChar* szText, DWORD dwLength)
{
    unsigned short* szNew = nullptr;
    if (dwLength > 0)
    {
        szNew = new (std::nothrow) unsigned short[dwLength + 1];
        if (!szNew)
            dwLength = 0;
    }
    if (szNew)
    {
        for (DWORD i = 0; i < dwLength; ++i)
            szNew[i] = WidenCharacter(szText[i]);
        szNew[dwLength] = 0;
    }
    delete[] szOwned;
    szOwned = szNew;
    dwOwnedLength = dwLength;
}
} // namespace

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
    ReplaceText(m_szText, m_dwLength, szText, szText ? static_cast<DWORD>(std::strlen(szText)) : 0);
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
    Assign(strOut.c_str(), static_cast<DWORD>(strOut.size()));
    return static_cast<int>(m_dwLength);
}

void CRKString::Assign(const unsigned short* szText, DWORD dwLength)
{
    ReplaceText(m_szText, m_dwLength, szText, dwLength);
}
