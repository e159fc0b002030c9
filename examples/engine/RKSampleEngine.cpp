// A sample engine: simulated drives whose discs are image files. Built as
// RKDRVCL it finds drives D and E; built as RKDRVRD (RKSAMPLE_OTHER_ORDER)
// it finds E, F and D, in an order of its own, as another engine would.
//
// When RKDRV_SAMPLE_IMAGES names a folder, drive E holds a disc while
// "<folder>/e.iso" is a non-empty file (or a link to one), on every
// platform alike; opening the tray moves that image aside. Without it the
// writers keep the library's own presence test (on POSIX: a dosdevices link
// to a non-empty image or a loaded drive).
//
// Its writers also offer a small part of the details (CRKWriterDetails):
// the disc's capacity from the image's size and, for an ISO 9660 image,
// its volume label. Everything else stays "not known".
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// An image's blocks, and where ISO 9660 keeps its volume descriptor.
const std::uintmax_t s_ullBlock = 2048;
const std::uintmax_t s_ullVolumeDescriptor = 16 * s_ullBlock;

// The volume identifier of an ISO 9660 image, trimmed; empty when the
// image holds no primary volume descriptor.
std::string VolumeLabel(const std::filesystem::path& pathImage)
{
    char acDescriptor[72] = {};
    std::ifstream fileImage(pathImage, std::ios::binary);
    if (!fileImage.seekg(static_cast<std::streamoff>(s_ullVolumeDescriptor)) ||
        !fileImage.read(acDescriptor, sizeof(acDescriptor)))
        return std::string();
    if (acDescriptor[0] != 1 || std::memcmp(acDescriptor + 1, "CD001", 5) != 0)
        return std::string();
    std::string strLabel;
    for (int i = 40; i < 72; ++i)
        strLabel += acDescriptor[i] >= 0x20 && acDescriptor[i] < 0x7F ? acDescriptor[i] : '?';
    strLabel.erase(strLabel.find_last_not_of(' ') + 1);
    return strLabel;
}

void PutText(unsigned short* pwField, std::size_t nChars, const std::string& strText)
{
    std::size_t nCopy = strText.size() < nChars ? strText.size() : nChars - 1;
    for (std::size_t i = 0; i < nCopy; ++i)
        pwField[i] = static_cast<unsigned char>(strText[i]);
    pwField[nCopy] = 0;
}

// Derives from CRKWriter first, then from the details interface, which the
// library finds through RKDRV::GetWriterDetails.
class CRKSampleWriter : public CRKWriter, public CRKWriterDetails
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
            // Links are followed; a folder, a device or an empty file is no disc.
            std::filesystem::path pathImage;
            std::uintmax_t ullSize = 0;
            return Image(pathImage, ullSize) ? 1 : 0;
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

    // The library set every field to "not known" before asking: an engine
    // fills only what it knows.
    int GetDriveDetails(RKDriveDetails& stDetails) override
    {
        const unsigned short* szModel = m_strModelName.GetText();
        std::size_t nLength = m_strModelName.GetLength();
        if (nLength >= RKDETAILS_PRODUCT_CHARS)
            nLength = RKDETAILS_PRODUCT_CHARS - 1;
        std::memcpy(stDetails.szProduct, szModel, nLength * sizeof(unsigned short));
        stDetails.szProduct[nLength] = 0;
        return 1;
    }

    int GetDiscDetails(RKDiscDetails& stDetails) override
    {
        try
        {
            std::filesystem::path pathImage;
            std::uintmax_t ullSize = 0;
            stDetails.dwDiscPresent = Image(pathImage, ullSize) ? 1 : 0;
            if (!stDetails.dwDiscPresent)
                return 1;
            stDetails.dwMediaType = m_dwMediaType;
            stDetails.dwDiscType = s_dwSampleDiscType;
            stDetails.dwBlockSize = static_cast<DWORD>(s_ullBlock);
            std::uintmax_t ullBlocks = ullSize / s_ullBlock;
            if (ullBlocks < RKDETAILS_UNKNOWN)
                stDetails.dwCapacityBlocks = static_cast<DWORD>(ullBlocks);
            PutText(stDetails.szLabel, RKDETAILS_LABEL_CHARS, VolumeLabel(pathImage));
            return 1;
        }
        catch (...)
        {
            return 0;
        }
    }

    int GetTrayState(RKTrayState& stState) override
    {
        stState.dwMediaPresent = IsMediaIn() ? 1 : 0;
        stState.dwReady = stState.dwMediaPresent;
        return 1;
    }

    // An image has no tray and no door; the trace shows the request arrived.
    int CloseTray() override
    {
        CRKLog::GetInstance()->AddInfo(RK_TEXT("Sample engine: tray of %c: closed"),
                                       static_cast<int>(m_wDriveLetter));
        return 1;
    }
    int LockTray(int bLock) override
    {
        CRKLog::GetInstance()->AddInfo(bLock ? RK_TEXT("Sample engine: door of %c: locked")
                                             : RK_TEXT("Sample engine: door of %c: unlocked"),
                                       static_cast<int>(m_wDriveLetter));
        return 1;
    }

private:
    // The image of this drive's disc and its size; false without a disc
    // (no image folder, no file, or an empty one).
    bool Image(std::filesystem::path& pathImage, std::uintmax_t& ullSize) const
    {
        const char* szFolder = std::getenv("RKDRV_SAMPLE_IMAGES");
        if (!szFolder || !*szFolder)
            return false;
        pathImage = std::filesystem::path(szFolder) / ImageName();
        std::error_code ec;
        if (!std::filesystem::is_regular_file(pathImage, ec))
            return false;
        ullSize = std::filesystem::file_size(pathImage, ec);
        return !ec && ullSize > 0;
    }

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
