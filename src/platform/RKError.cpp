#include "RKError.h"

CRKError::CRKError() : m_dwError(0) {}

CRKError::CRKError(const CRKError& errOther) : m_dwError(errOther.m_dwError) {}

CRKError::~CRKError() {}

const CRKError& CRKError::operator=(const CRKError& errOther)
{
    m_dwError = errOther.m_dwError;
    return *this;
}

int CRKError::SetError(DWORD dwError)
{
    m_dwError = dwError;
    return 1;
}

DWORD CRKError::GetError() const
{
    return m_dwError;
}
