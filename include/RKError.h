// CRKError: an object's last error code, used as a value.
#ifndef RKERROR_H
#define RKERROR_H

#include "RKExport.h"
#include "RKTypes.h"

class RKDRV_API CRKError
{
public:
    CRKError();
    CRKError(const CRKError& errOther);
    virtual ~CRKError();
    const CRKError& operator=(const CRKError& errOther);

    // Stores the code; returns 1.
    int SetError(DWORD dwError);
    DWORD GetError() const;

private:
    DWORD m_dwError;
};

#endif
