#include "RKBaseObject.h"

CRKBaseObject::CRKBaseObject() {}

CRKBaseObject::CRKBaseObject(const CRKBaseObject& objOther) : m_Error(objOther.m_Error) {}

CRKBaseObject& CRKBaseObject::operator=(const CRKBaseObject& objOther)
{
    m_Error = objOther.m_Error;
    return *this;
}

CRKBaseObject::~CRKBaseObject() {}

int CRKBaseObject::SetError(DWORD dwError)
{
    return m_Error.SetError(dwError);
}
