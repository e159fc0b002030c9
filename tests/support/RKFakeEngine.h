// In-process writers and managers for tests that drive the base classes
// directly; they count their destructions in a shared event list.
#ifndef RKFAKEENGINE_H
#define RKFAKEENGINE_H

#include <string>
#include <vector>

#include "RKDRV.h"

class CRKFakeWriter : public CRKWriter
{
public:
    CRKFakeWriter(WORD wLetter, std::vector<std::string>* pEvents = nullptr,
                  const char* szModel = "Fake Drive", DWORD dwSupportedMedia = 0x25)
        : m_pEvents(pEvents)
    {
        // Null stores no model name: the library's own stays.
        if (szModel)
            m_strModelName = szModel;
        m_wDriveLetter = wLetter;
        m_dwSupportedMedia = dwSupportedMedia;
    }
    // Copies report no destruction: only listed writers are counted.
    CRKFakeWriter(const CRKFakeWriter& wrOther) : CRKWriter(wrOther), m_pEvents(nullptr) {}
    CRKFakeWriter& operator=(const CRKFakeWriter& wrOther)
    {
        CRKWriter::operator=(wrOther);
        return *this;
    }
    ~CRKFakeWriter() override
    {
        if (m_pEvents)
            m_pEvents->push_back(std::string("destroyed ") + static_cast<char>(m_wDriveLetter));
    }

    int EngineReserved1() override { return 0; }
    int EngineReserved2() override { return 0; }
    int EngineReserved3() override { return 0; }
    int EngineReserved4() override { return 0; }
    RKMediaInfo GetMediaInfo() override
    {
        RKMediaInfo stInfo;
        stInfo.dwMediaType = 0x0025;
        stInfo.dwDiscType = 7;
        return stInfo;
    }
    // Counts tray openings; the library does not use the result.
    int EjectTray() override { return ++nEjectCalls; }
    int EngineReserved5() override { return 0; }
    int EngineReserved6() override { return 0; }
    int EngineReserved7() override { return 0; }
    int EngineReserved8() override { return 0; }
    int EngineReserved9() override { return 0; }
    int EngineReserved10() override { return 0; }

    CRKWriterCallBack* ActiveCallBack() { return m_pCallBack; }
    int nEjectCalls = 0;
    CRKWriterCallBack* OwnDefaultCallBack() { return &m_DefaultCallBack; }

private:
    std::vector<std::string>* m_pEvents;
};

class CRKFakeManager : public CRKDRVManager
{
public:
    explicit CRKFakeManager(std::vector<std::string>* pEvents = nullptr) : m_pEvents(pEvents)
    {
        m_bValid = 1;
    }
    CRKFakeManager(const CRKFakeManager& mgrOther) : CRKDRVManager(mgrOther), m_pEvents(nullptr) {}
    CRKFakeManager& operator=(const CRKFakeManager& mgrOther)
    {
        CRKDRVManager::operator=(mgrOther);
        return *this;
    }

    // Lists writers by letter; 0 lists a null placeholder.
    void List(const std::vector<WORD>& vecLetters)
    {
        for (WORD wLetter : vecLetters)
            m_vecWriters.push_back(wLetter ? new CRKFakeWriter(wLetter, m_pEvents) : nullptr);
    }
    std::vector<CRKWriter*>& Table() { return m_vecWriters; }
    void SetValid(int bValid) { m_bValid = bValid; }

    int EnumerateWriters() override
    {
        ++nEnumerate;
        List(vecNextScan);
        return 1;
    }
    int Initialize() override { return 1; }
    int EngineReserved() override { return 0; }
    int Release() override
    {
        delete this;
        return 1;
    }

    int nEnumerate = 0;
    std::vector<WORD> vecNextScan;

private:
    std::vector<std::string>* m_pEvents;
};

// A table's drive letters in index order, '-' for a placeholder.
inline std::string TableLetters(CRKDRVManager* pManager)
{
    std::string strOut;
    for (int i = 0; i < pManager->GetNbWriter(); ++i)
    {
        CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i));
        strOut += pWriter ? static_cast<char>(pWriter->GetDriveLetter()) : '-';
    }
    return strOut;
}

#endif
