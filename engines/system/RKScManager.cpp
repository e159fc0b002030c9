#include "RKScManager.h"

#include <algorithm>
#include <new>
#include <string>

#include "RKLog.h"
#include "RKScTrace.h"
#include "RKScWriter.h"

std::vector<WORD> RKScAssignLetters(const RKScDriveList& stList)
{
    std::vector<WORD> vecTaken = stList.vecUsedLetters;
    for (const RKScDriveEntry& stEntry : stList.vecDrives)
    {
        if (stEntry.wLetter)
            vecTaken.push_back(stEntry.wLetter);
    }
    std::vector<WORD> vecLetters;
    WORD wNext = 'D';
    for (const RKScDriveEntry& stEntry : stList.vecDrives)
    {
        WORD wLetter = stEntry.wLetter;
        if (!wLetter)
        {
            while (wNext <= 'Z' && std::find(vecTaken.begin(), vecTaken.end(), wNext) != vecTaken.end())
                ++wNext;
            if (wNext <= 'Z')
                wLetter = wNext++;
        }
        vecLetters.push_back(wLetter);
    }
    return vecLetters;
}

CRKScManager::CRKScManager(std::shared_ptr<CRKScTransport> pTransport) : m_pTransport(std::move(pTransport))
{
    m_bValid = 0;
    EnumerateWriters();
}

CRKScManager::~CRKScManager()
{
    // The writers share the transport; they go with the base part, after
    // this one, and none of them needs it to go.
}

int CRKScManager::EnumerateWriters()
{
    CRKLog::GetInstance()->EnterFunction(RK_TEXT("CRKScManager::EnumerateWriters"));
    int nCount = 0;
    try
    {
        nCount = ListWriters();
    }
    catch (const std::bad_alloc&)
    {
        RKScTraceFailure(RK_TEXT("CRKScManager::EnumerateWriters"), true);
        nCount = GetNbWriter();
    }
    catch (...)
    {
        RKScTraceFailure(RK_TEXT("CRKScManager::EnumerateWriters"), false);
        nCount = GetNbWriter();
    }
    return CRKLog::GetInstance()->ExitFunction(nCount);
}

int CRKScManager::ListWriters()
{
    // Called directly, it would otherwise list every drive a second time.
    if (!m_vecWriters.empty())
        ClearWriters();
    RKScDriveList stList;
    std::string strProblem;
    if (!m_pTransport)
        strProblem = "no transport";
    if (!m_pTransport || !m_pTransport->ListDrives(stList, strProblem))
    {
        m_bValid = 0;
        RKScTraceError("Cannot list the optical drives: " + strProblem);
        return 0;
    }
    m_bValid = 1;
    std::vector<WORD> vecLetters = RKScAssignLetters(stList);
    // Room first, so that handing a writer to the table cannot fail.
    m_vecWriters.reserve(stList.vecDrives.size());
    for (std::size_t i = 0; i < stList.vecDrives.size(); ++i)
    {
        const RKScDriveEntry& stEntry = stList.vecDrives[i];
        std::unique_ptr<CRKScWriter> pWriter(new CRKScWriter(m_pTransport, stEntry, vecLetters[i]));
        pWriter->Identify();
        if (!vecLetters[i])
            RKScTraceError(stEntry.strDevice + ": no drive letter is left for it");
        CRKString strDevice(stEntry.strDevice.c_str());
        CRKLog::GetInstance()->AddInfo(
            RK_TEXT("%s: drive %c:, model \"%s\", supported media 0x%x%s"), strDevice.GetText(),
            static_cast<int>(vecLetters[i] ? vecLetters[i] : '?'), pWriter->GetModelName(),
            static_cast<unsigned int>(pWriter->GetSupportedMedia()),
            pWriter->HasAccess() ? RK_TEXT("") : RK_TEXT(", no access"));
        m_vecWriters.push_back(pWriter.release());
    }
    return GetNbWriter();
}

int CRKScManager::Initialize()
{
    return 1;
}

int CRKScManager::Release()
{
    delete this;
    return 1;
}
