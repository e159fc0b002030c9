// CRKBaseObject: the common base of managers and writers.
#ifndef RKBASEOBJECT_H
#define RKBASEOBJECT_H

#include "RKError.h"
#include "RKExport.h"
#include "RKTypes.h"

class RKDRV_API CRKBaseObject
{
public:
    CRKBaseObject();
    CRKBaseObject(const CRKBaseObject& objOther);
    CRKBaseObject& operator=(const CRKBaseObject& objOther);
    virtual ~CRKBaseObject();

    virtual int Dump() = 0;

    // Stores the code in m_Error; returns CRKError::SetError's result.
    int SetError(DWORD dwError);

    CRKError m_Error;
};

#endif
