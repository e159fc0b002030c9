// An engine that writes the base classes' fields directly, as engines do.
#include "RKDRV.h"

namespace
{
class CRKExternalWriter : public CRKWriter
{
public:
    explicit CRKExternalWriter(WORD wLetter)
    {
        m_strModelName = RK_TEXT("External Writer");
        m_wDriveLetter = wLetter;
        m_dwSupportedMedia = 0xA5A5A5A5u;
    }
    ~CRKExternalWriter() override {}
    int EngineReserved1() override { return 101; }
    int EngineReserved2() override { return 102; }
    int EngineReserved3() override { return 103; }
    int EngineReserved4() override { return 104; }
    int IsMediaIn() override { return 1; }
    RKMediaInfo GetMediaInfo() override
    {
        RKMediaInfo stInfo;
        stInfo.dwMediaType = 0x6001;
        stInfo.dwDiscType = 0x77;
        return stInfo;
    }
    int EjectTray() override { return 110; }
    int EngineReserved5() override { return 105; }
    int EngineReserved6() override { return 106; }
    int EngineReserved7() override { return 107; }
    int EngineReserved8() override { return 108; }
    int EngineReserved9() override { return 109; }
    int EngineReserved10() override { return 111; }
};

class CRKExternalManager : public CRKDRVManager
{
public:
    CRKExternalManager()
    {
        m_bValid = 0x5A;
        m_vecWriters.push_back(new CRKExternalWriter('X'));
    }
    ~CRKExternalManager() override {}
    int EnumerateWriters() override
    {
        m_vecWriters.push_back(new CRKExternalWriter('Y'));
        m_vecWriters.push_back(new CRKExternalWriter('Z'));
        return 1;
    }
    int Initialize() override
    {
        m_bValid = 0x5B;
        return 1;
    }
    int EngineReserved() override { return 5; }
    int Release() override
    {
        delete this;
        return 1;
    }
};
} // namespace

RKDRV_ENGINE_EXPORT CRKDRVManager* _RK_Factory_Creation_Function_CRKDRVManager()
{
    return new CRKExternalManager;
}
