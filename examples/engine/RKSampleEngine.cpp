// A sample engine: simulated drives whose discs are image files. Built as
// RKDRVCL it finds drives D and E; built as RKDRVRD (RKSAMPLE_OTHER_ORDER)
// it finds E, F and D, in an order of its own, as another engine would.
//
// When RKDRV_SAMPLE_IMAGES names a folder, drive E holds a disc while
// "<folder>/e.iso" is a non-empty file (or a link to one), on every
// platform alike; opening the tray moves that image aside. Without it the writers keep the library's own
// presence test (on POSIX: a dosdevices link to a non-empty image or a loaded drive).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "RKDRV.h"
#include "RKSampleImages.h"

namespace
{
// What one simulated drive is. The supported-media word means what an
// engine says it means; this one stores the code of the best medium the
// drive writes. Every disc of a drive is of the drive's one media type.
struct RKSampleDrive
{
    WORD wLetter;
    const char* szModel;
    DWORD dwSupportedMedia;
    DWORD dwMediaType;
};

#ifdef RKSAMPLE_OTHER_ORDER
const RKSampleDrive s_aDrives[] = {
    {'E', "Other Writer BD-RE", RKMEDIA_BD_RE, RKMEDIA_BD_RE},
    {'F', "Other Writer CD-RW", RKMEDIA_CD_RW, RKMEDIA_CD_RW},
    {'D', "Other Writer DVD-RW", RKMEDIA_DVD_RW, RKMEDIA_DVD_PLUS_RW},
};
#else
const RKSampleDrive s_aDrives[] = {
    {'D', "Sample Writer DVD-RW", RKMEDIA_DVD_RW, RKMEDIA_DVD_PLUS_RW},
    {'E', "Sample Writer BD-RE", RKMEDIA_BD_RE, RKMEDIA_BD_RE},
};
#endif

// The sample's only disc type: a disc with data on it.
const DWORD s_dwSampleDiscType = 1;

class CRKSampleWriter : public CRKWriter
{
public:
    explicit CRKSampleWriter(const RKSampleDrive& stDrive) : m_dwMediaType(stDrive.dwMediaType)
    {
        m_strModelName = stDrive.szModel;
        m_wDriveLetter = stDrive.wLetter;
        m_dwSupportedMedia = stDrive.dwSupportedMedia;
    }
    ~CRKSampleWriter() override {}

    int EngineReserved1() override { return 0; }
    int EngineReserved2() override { return 0; }
    int EngineReserved3() override { return 0; }
    int EngineReserved4() override { return 0; }

    // Both media waits ask here, so the images work wherever the engine runs.
    int IsMediaIn() override
    {
        const char* szFolder = std::getenv(RKSAMPLE_IMAGES_VARIABLE);
        if (!szFolder || !*szFolder)
            return CRKWriter::IsMediaIn();
        // Nothing may leave the engine, not even a failed allocation.
        try
        {
            std::filesystem::path pathImage = std::filesystem::path(szFolder) / ImageName();
            std::error_code ec;
            // Links are followed; a folder, a device or an empty file is no disc.
            if (!std::filesystem::is_regular_file(pathImage, ec))
                return 0;
            std::uintmax_t ullSize = std::filesystem::file_size(pathImage, ec);
            return !ec && ullSize > 0 ? 1 : 0;
        }
        catch (...)
        {
            return 0;
        }
    }

    RKMediaInfo GetMediaInfo() override
    {
        RKMediaInfo stInfo;
        bool bDisc = IsMediaIn() != 0;
        stInfo.dwMediaType = bDisc ? m_dwMediaType : 0;
        stInfo.dwDiscType = bDisc ? s_dwSampleDiscType : 0;
        return stInfo;
    }

    // A tray that opened holds no disc the drive can read: with the image
    // folder, the image is moved aside ("e.iso" to "e.iso.ejected", which
    // it replaces), so the drive is empty until a disc goes in again.
    int EjectTray() override
    {
        const char* szFolder = std::getenv(RKSAMPLE_IMAGES_VARIABLE);
        if (szFolder && *szFolder && IsMediaIn())
        {
            try
            {
                std::filesystem::path pathImage = std::filesystem::path(szFolder) / ImageName();
                std::error_code ec;
                std::filesystem::rename(pathImage, pathImage.string() + ".ejected", ec);
                if (ec)
                {
                    CRKLog::GetInstance()->AddError(
                        RK_TEXT("Sample engine: the disc of %c: could not be taken out"),
                        static_cast<int>(m_wDriveLetter));
                    return 0;
                }
            }
            catch (...)
            {
                return 0;
            }
        }
        CRKLog::GetInstance()->AddInfo(RK_TEXT("Sample engine: tray of %c: opened"),
                                       static_cast<int>(m_wDriveLetter));
        return 1;
    }

    int EngineReserved5() override { return 0; }
    int EngineReserved6() override { return 0; }
    int EngineReserved7() override { return 0; }
    int EngineReserved8() override { return 0; }
    int EngineReserved9() override { return 0; }
    int EngineReserved10() override { return 0; }

private:
    std::string ImageName() const { return RKSampleImageName(m_wDriveLetter); }

    DWORD m_dwMediaType;
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
        for (const RKSampleDrive& stDrive : s_aDrives)
            m_vecWriters.push_back(new CRKSampleWriter(stDrive));
        return 1;
    }
    int Initialize() override { return 1; }
    int EngineReserved() override { return 0; }
    int Release() override
    {
        delete this;
        return 1;
    }
};
} // namespace

RKDRV_ENGINE_EXPORT CRKDRVManager* _RK_Factory_Creation_Function_CRKDRVManager()
{
    // The factory must not throw either: no manager is a null manager.
    try
    {
        return new CRKSampleManager;
    }
    catch (...)
    {
        return nullptr;
    }
}
