// CRKString: a zero-terminated text of 16-bit characters, used as a value.
#ifndef RKSTRING_H
#define RKSTRING_H

#include "RKExport.h"
#include "RKTypes.h"

class RKDRV_API CRKString
{
public:
    CRKString();
    // Bytes outside 7-bit ASCII are taken as Latin-1.
    CRKString(const char* szText);
    CRKString(const unsigned short* szText);
    CRKString(const CRKString& strOther);
    ~CRKString();

    CRKString& operator=(const unsigned short* szText);
    CRKString& operator=(const char* szText);
    CRKString& operator=(const CRKString& strOther);

    // Never null: an empty string yields an empty text. Valid while the
    // string lives and is not changed.
    operator const unsigned short*() const;
    const unsigned short* GetText() const;
    DWORD GetLength() const;
    bool IsEmpty() const;

    // printf-style formatting with a 16-bit format (conversions as CRKLog).
    // Replaces the text; returns the new length.
    int Format(const unsigned short* szFormat, ...);

private:
    void Assign(const unsigned short* szText, DWORD dwLength);

    // Allocated and freed only by the library, so that engines built apart
    // never free a buffer with another runtime.
    unsigned short* m_szText;
    DWORD m_dwLength;
};

#endif
