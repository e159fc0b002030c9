#include "RKDRVManager.h"

#include "RKEngineFault.h"
#include "RKLog.h"

int CRKDRVManager::GetNbWriter()
{
    return static_cast<int>(m_vecWriters.size());
}

CRKWriter* CRKDRVManager::GetWriter(DWORD dwIndex)
{
    // Traced as signed, so 0xFFFFFFFF shows as -1.
    CRKLog::GetInstance()->AddInfo(RK_TEXT("CRKDRVManager::GetWriter(%d)"), static_cast<int>(dwIndex));
    if (dwIndex < static_cast<DWORD>(GetNbWriter()))
        return m_vecWriters[dwIndex];
    return nullptr;
}

CRKWriter* CRKDRVManager::GetWriterFromLetter(WORD wLetter, unsigned int& uIndex)
{
    CRKLog::GetInstance()->AddInfo(RK_TEXT("CRKDRVManager::GetWriterFromLetter(%c:\\)"),
                                   static_cast<int>(wLetter));
    if (GetNbWriter() <= 0)
        return nullptr;
    for (DWORD dwPos = 0; dwPos < m_vecWriters.size(); ++dwPos)
    {
        CRKWriter* pWriter = GetWriter(dwPos);
        if (!pWriter)
        {
            CRKLog::GetInstance()->AddError(RK_TEXT("NULL Writer"));
            continue;
        }
        if (pWriter->GetDriveLetter() == wLetter)
        {
            uIndex = dwPos;
            return pWriter;
        }
    }
    return nullptr;
}

void CRKDRVManager::SetCallBack(CRKWriterCallBack* pCallBack)
{
    // A null callback leaves every writer with the callback it has.
    if (!pCallBack)
        return;
    for (DWORD dwIndex = 0; dwIndex < static_cast<DWORD>(GetNbWriter()); ++dwIndex)
    {
        if (CRKWriter* pWriter = m_vecWriters[dwIndex])
            pWriter->SetCallBack(pCallBack);
    }
}

int CRKDRVManager::Refresh()
{
    ClearWriters();
    try
    {
        EnumerateWriters();
    }
    catch (...)
    {
        // The table keeps whatever the engine listed before it threw.
        RKTraceThrowingCall(RK_TEXT("EnumerateWriters"));
    }
    return 0;
}
