#include "RKDRVManager.h"

#include "RKLog.h"

CRKDRVManager::CRKDRVManager() : m_hModule(nullptr)
{
    // A capacity, not a limit. m_bValid is the engine's to set.
    m_vecWriters.reserve(50);
}

CRKDRVManager::CRKDRVManager(const CRKDRVManager& mgrOther)
    : CRKBaseObject(mgrOther), m_vecWriters(mgrOther.m_vecWriters), m_bValid(mgrOther.m_bValid),
      m_hModule(mgrOther.m_hModule)
{
}

CRKDRVManager& CRKDRVManager::operator=(const CRKDRVManager& mgrOther)
{
    CRKBaseObject::operator=(mgrOther);
    m_vecWriters = mgrOther.m_vecWriters;
    m_bValid = mgrOther.m_bValid;
    m_hModule = mgrOther.m_hModule;
    return *this;
}

CRKDRVManager::~CRKDRVManager()
{
    ClearWriters();
    m_hModule = nullptr;
}

int CRKDRVManager::Dump()
{
    SetError(0x10FFFFFF);
    return 0;
}

int CRKDRVManager::IsValid()
{
    return m_bValid;
}

HINSTANCE CRKDRVManager::GetModule()
{
    return m_hModule;
}

void CRKDRVManager::SetModule(HINSTANCE hModule)
{
    m_hModule = hModule;
}

void CRKDRVManager::ClearWriters()
{
    CRKLog::GetInstance()->EnterFunction(RK_TEXT("ClearWriters"));
    for (CRKWriter*& pWriter : m_vecWriters)
    {
        if (pWriter)
        {
            // The virtual destructor frees the writer inside the engine that made it.
            delete pWriter;
            pWriter = nullptr;
        }
    }
    m_vecWriters.clear();
    CRKLog::GetInstance()->ExitFunction();
}
