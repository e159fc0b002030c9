// A test engine. RKTEST_ENGINE names it; RKTEST_FACTORY selects the factory:
// 0 a manager, 1 a null manager, 2 no factory symbol at all, 3 one that
// throws. With RKTEST_DETAILS its writers offer details and tray control;
// when RKTEST_TRAY_FOLDER names a folder, each drive's tray state is read
// at every call from "<letter>.tray" there (drive E: "E.tray"): open,
// present, ready, locked and events, as numbers. The probe can make one
// operation of a manager or writer throw.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "RKDRV.h"
#include "RKTestProbe.h"

namespace
{
RKTestProbe* Probe()
{
    return RKTestProbeFromEnvironment();
}

void Count(int RKTestProbe::*pnCounter, const char* szEvent)
{
    if (RKTestProbe* pProbe = Probe())
    {
        ++(pProbe->*pnCounter);
        RKTestProbeEvent(pProbe, RKTEST_ENGINE, szEvent);
    }
}

void ThrowIfAsked(const char* szOperation)
{
    if (RKTestProbeThrows(Probe(), RKTEST_ENGINE, szOperation))
        throw std::runtime_error(szOperation);
    // Programs run apart from the test, such as the tool, get no probe:
    // RKTEST_ENGINE_THROW names the "engine:operation" there.
    const char* szNamed = std::getenv("RKTEST_ENGINE_THROW");
    char szWanted[64];
    std::snprintf(szWanted, sizeof(szWanted), "%s:%s", RKTEST_ENGINE, szOperation);
    if (szNamed && std::strcmp(szNamed, szWanted) == 0)
        throw std::runtime_error(szOperation);
}

// Records the module's unload, after every object of it is gone.
struct CRKUnloadMarker
{
    ~CRKUnloadMarker() { Count(&RKTestProbe::nUnloads, "unload"); }
} s_UnloadMarker;

#ifndef RKTEST_DETAILS
#define RKTEST_DETAILS 0
#endif

#if RKTEST_DETAILS
// Fills a few fields and leaves the rest as the library set them; a
// throwing call first scribbles on the record, as a careless engine would.
class CRKTestDetails : public CRKWriterDetails
{
public:
    int GetDriveDetails(RKDriveDetails& stDetails) override
    {
        stDetails.dwCurrentProfile = 0x1A;
        ThrowIfAsked("details");
        const char szVendor[] = "RKTEST";
        for (std::size_t i = 0; i < sizeof(szVendor); ++i)
            stDetails.szVendor[i] = static_cast<unsigned short>(szVendor[i]);
        // Unterminated on purpose: the library ends it inside the field.
        for (unsigned short& wChar : stDetails.szSerial)
            wChar = 'S';
        // More than a record holds; the first left as the library set it.
        stDetails.dwProfileCount = 1000;
        stDetails.awProfiles[1] = 0x43;
        stDetails.awProfiles[2] = 0x09;
        return 1;
    }
    int GetDiscDetails(RKDiscDetails& stDetails) override
    {
        stDetails.dwDiscPresent = 0;
        return 1;
    }
    int GetTrayState(RKTrayState& stState) override
    {
        const char* szFolder = std::getenv("RKTEST_TRAY_FOLDER");
        if (!szFolder || !*szFolder)
        {
            stState.dwOpen = 1;
            return 1;
        }
        std::ifstream file(std::string(szFolder) + "/" + static_cast<char>(TrayLetter()) + ".tray");
        return file >> stState.dwOpen >> stState.dwMediaPresent >> stState.dwReady >> stState.dwLocked >>
                       stState.dwEvents
                   ? 1
                   : 0;
    }
    int CloseTray() override
    {
        ThrowIfAsked("close");
        return 1;
    }
    int LockTray(int bLock) override { return bLock ? 0 : 7; }

private:
    virtual WORD TrayLetter() = 0;
};

class CRKTestWriter : public CRKWriter, public CRKTestDetails
#else
class CRKTestWriter : public CRKWriter
#endif
{
public:
    explicit CRKTestWriter(WORD wLetter)
    {
        char szModel[] = RKTEST_ENGINE " Drive ?";
        szModel[sizeof(szModel) - 2] = static_cast<char>(wLetter);
        m_strModelName = szModel;
        m_wDriveLetter = wLetter;
        m_dwSupportedMedia = 0x6001u + wLetter;
    }
    ~CRKTestWriter() override { Count(&RKTestProbe::nWritersDestroyed, "writer-destroyed"); }

    int EngineReserved1() override { return 1; }
    int EngineReserved2() override { return 2; }
    int EngineReserved3() override { return 3; }
    int EngineReserved4() override { return 4; }
    int IsMediaIn() override
    {
        ThrowIfAsked("mediain");
        return CRKWriter::IsMediaIn();
    }
    RKMediaInfo GetMediaInfo() override
    {
        ThrowIfAsked("mediainfo");
        RKMediaInfo stInfo;
        stInfo.dwMediaType = 0x0025;
        stInfo.dwDiscType = m_wDriveLetter;
        return stInfo;
    }
    int EjectTray() override
    {
        ThrowIfAsked("eject");
        return 10;
    }
    int EngineReserved5() override { return 5; }
    int EngineReserved6() override { return 6; }
    int EngineReserved7() override { return 7; }
    int EngineReserved8() override { return 8; }
    int EngineReserved9() override { return 9; }
    int EngineReserved10() override { return 11; }

#if RKTEST_DETAILS
private:
    WORD TrayLetter() override
    {
        return m_wDriveLetter;
    }
#endif
};

class CRKTestManager : public CRKDRVManager
{
public:
    CRKTestManager()
    {
        m_bValid = 1;
        AddWriters();
    }
    ~CRKTestManager() override { Count(&RKTestProbe::nManagersDestroyed, "manager-destroyed"); }

    int EnumerateWriters() override
    {
        Count(&RKTestProbe::nEnumerate, "enumerate");
        ThrowIfAsked("enumerate");
        AddWriters();
        return 1;
    }
    int Initialize() override
    {
        Count(&RKTestProbe::nInitialize, "initialize");
        ThrowIfAsked("initialize");
        return 1;
    }
    int EngineReserved() override { return 0; }
    int Release() override
    {
        Count(&RKTestProbe::nRelease, "release");
        delete this;
        // After the manager is gone, as an engine that fails late would.
        ThrowIfAsked("release");
        return 1;
    }

private:
    void AddWriters()
    {
        RKTestProbe* pProbe = Probe();
        // Programs run apart from the test: RKTEST_ENGINE_LETTERS lists them.
        const char* szLetters = std::getenv("RKTEST_ENGINE_LETTERS");
        if (!pProbe && szLetters)
        {
            for (const char* p = szLetters; *p; ++p)
                m_vecWriters.push_back(new CRKTestWriter(static_cast<WORD>(*p)));
            return;
        }
        if (!pProbe || pProbe->nLetters < 0)
        {
            m_vecWriters.push_back(new CRKTestWriter('E'));
            m_vecWriters.push_back(new CRKTestWriter('F'));
            return;
        }
        for (int i = 0; i < pProbe->nLetters; ++i)
            m_vecWriters.push_back(new CRKTestWriter(pProbe->awLetters[i]));
    }
};
} // namespace

#if RKTEST_FACTORY != 2
RKDRV_ENGINE_EXPORT CRKDRVManager* _RK_Factory_Creation_Function_CRKDRVManager()
{
    Count(&RKTestProbe::nFactoryCalls, "factory");
#if RKTEST_FACTORY == 1
    return nullptr;
#elif RKTEST_FACTORY == 3
    throw std::runtime_error("factory");
#else
    return new CRKTestManager;
#endif
}
#endif
