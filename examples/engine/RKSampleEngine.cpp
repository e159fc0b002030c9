// A sample engine: simulated drives. Built as RKDRVCL it finds drives D and
// E; built as RKDRVRD (RKSAMPLE_OTHER_ORDER) it finds E, F and D, in an
// order of its own, as another engine would. Their media are found by the
// library's own presence test, so a drive holds a disc when its letter names
// one (on POSIX: a dosdevices link to a non-empty image or a loaded drive).
#include "RKDRV.h"

namespace
{
class CRKSampleWriter : public CRKWriter
{
public:
    CRKSampleWriter(WORD wLetter, const char* szModel)
    {
        m_strModelName = szModel;
        m_wDriveLetter = wLetter;
        m_dwSupportedMedia = 0x6001;
    }
    ~CRKSampleWriter() override {}

    int EngineReserved1() override { return 0; }
    int EngineReserved2() override { return 0; }
    int EngineReserved3() override { return 0; }
    int EngineReserved4() override { return 0; }
    RKMediaInfo GetMediaInfo() override
    {
        RKMediaInfo stInfo;
        stInfo.dwMediaType = 0x0025;
        stInfo.dwDiscType = 1;
        return stInfo;
    }
    int EjectTray() override { return 1; }
    int EngineReserved5() override { return 0; }
    int EngineReserved6() override { return 0; }
    int EngineReserved7() override { return 0; }
    int EngineReserved8() override { return 0; }
    int EngineReserved9() override { return 0; }
    int EngineReserved10() override { return 0; }
};

class CRKSampleManager : public CRKDRVManager
{
public:
    CRKSampleManager()
    {
        m_bValid = 1;
        EnumerateWriters();
    }
    ~CRKSampleManager() override {}

    int EnumerateWriters() override
    {
#ifdef RKSAMPLE_OTHER_ORDER
        m_vecWriters.push_back(new CRKSampleWriter('E', "Other Writer BD-RE"));
        m_vecWriters.push_back(new CRKSampleWriter('F', "Other Writer CD-RW"));
        m_vecWriters.push_back(new CRKSampleWriter('D', "Other Writer DVD-RW"));
#else
        m_vecWriters.push_back(new CRKSampleWriter('D', "Sample Writer DVD-RW"));
        m_vecWriters.push_back(new CRKSampleWriter('E', "Sample Writer BD-RE"));
#endif
        return 1;
    }
    int Initialize() override
    {
        return 1;
    }
    int EngineReserved() override
    {
        return 0;
    }
    int Release() override
    {
        delete this;
        return 1;
    }
};
} // namespace

RKDRV_ENGINE_EXPORT CRKDRVManager* _RK_Factory_Creation_Function_CRKDRVManager()
{
    return new CRKSampleManager;
}
