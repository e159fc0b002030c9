// The drives' raw answers, captured through SG_IO for the parsers' seed
// corpus. With RKKERNEL_CORPUS_OUT set to a corpus folder (the source
// tree's tests/fuzz/corpus), the captured files are copied there.
#include "RKKernelDrives.h"
#include "RKKernelHotplug.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace
{
std::string ReadBytes(const std::string& strPath)
{
    std::ifstream ifsFile(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(ifsFile), std::istreambuf_iterator<char>());
}

// The file's size and the bytes at an offset, as QEMU answers.
struct RKExpectedAnswer
{
    const char* szFile;
    size_t nSize;
    size_t nOffset;
    std::string strBytes;
};

void ExpectAnswers(const std::string& strCorpus, const std::vector<RKExpectedAnswer>& vecExpected)
{
    for (const RKExpectedAnswer& stExpected : vecExpected)
    {
        std::string strBytes = ReadBytes(strCorpus + "/" + stExpected.szFile);
        EXPECT_EQ(strBytes.size(), stExpected.nSize) << stExpected.szFile;
        EXPECT_EQ(strBytes.substr(std::min(stExpected.nOffset, strBytes.size()), stExpected.strBytes.size()),
                  stExpected.strBytes)
            << stExpected.szFile;
    }
}

void ExportCorpus(const std::string& strCorpus)
{
    const char* szOut = std::getenv("RKKERNEL_CORPUS_OUT");
    if (!szOut || !*szOut)
        return;
    std::error_code ecCopy;
    std::filesystem::copy(
        strCorpus, szOut,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, ecCopy);
    EXPECT_FALSE(ecCopy) << "copying to " << szOut << ": " << ecCopy.message();
}

std::string Bytes(const char* szBytes, size_t nSize)
{
    return std::string(szBytes, nSize);
}
} // namespace

TEST_F(KernelDrives, CaptureRealAnswersForTheSeedCorpus)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", s_strDvd);
    std::string strCorpus = Guest().SharePath() + "/corpus";
    for (std::string strTag : {"cd", "dvd", "empty"})
    {
        if (strTag == "empty")
            SetDisc("cdrom1", "/dev/sr1", "");
        RKProbeRun stRun =
            RunTool({RKKERNEL_DRIVE, "capture", strTag == "cd" ? "/dev/sr0" : "/dev/sr1", strCorpus, strTag});
        ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    }

    ExpectAnswers(
        strCorpus,
        {
            {"inquiry/qemu-cd.bin", 36, 0, Bytes("\x05\x80", 2)},
            {"inquiry/qemu-cd.bin", 36, 8, "QEMU    QEMU CD-ROM     "},
            // QEMU fills whatever length is asked for.
            {"inquiry/qemu-cd-96.bin", 96, 4, "\x5b"},
            // Current profile: CD-ROM, DVD-ROM, none.
            {"configuration/qemu-cd-current.bin", 40, 4, Bytes("\0\0\0\x08", 4)},
            {"configuration/qemu-dvd-current.bin", 40, 4, Bytes("\0\0\0\x10", 4)},
            {"configuration/qemu-empty-current.bin", 40, 4, Bytes("\0\0\0\0", 4)},
            // The profile list: DVD-ROM, then CD-ROM (current).
            {"configuration/qemu-cd-all.bin", 40, 8, Bytes("\0\0\x03\x08\0\x10\0\0\0\x08\x01\0", 12)},
            {"configuration/qemu-cd-all-padded.bin", 256, 0, Bytes("\0\0\0\x24", 4)},
            // A complete disc; without one: not ready, medium not present.
            {"discinfo/qemu-cd.bin", 34, 0, Bytes("\0\x20\x0e", 3)},
            {"discinfo/qemu-dvd.bin", 34, 0, Bytes("\0\x20\x0e", 3)},
            {"sense/qemu-empty-discinfo-padded.bin", 18, 0, Bytes("\x70\0\x02", 3)},
            {"sense/qemu-empty-tur.bin", 18, 12, Bytes("\x3a\0", 2)},
            // Media event: present, absent.
            {"gesn/qemu-dvd.bin", 8, 0, Bytes("\0\x04\x04\x10\0\x02", 6)},
            {"gesn/qemu-empty.bin", 8, 0, Bytes("\0\x04\x04\x10\0\0", 6)},
            // The capabilities page: tray, lock, eject; 8800 kB/s.
            {"capabilities/qemu-cd.bin", 30, 8, Bytes("\x2a\x14\x3b\0\x7f\xff\x2d\0\x22\x60", 10)},
            // 360,000 blocks of 2048 bytes, one data track.
            {"capacity/qemu-cd.bin", 8, 0, Bytes("\0\x05\x7e\x3f\0\0\x08\0", 8)},
            {"toc/qemu-cd.bin", 20, 0, Bytes("\0\x12\x01\x01\0\x14\x01", 7)},
        });
    EXPECT_FALSE(std::filesystem::exists(strCorpus + "/discinfo/qemu-empty.bin"));
    ExportCorpus(strCorpus);
}

TEST_F(KernelHotplug, CaptureTheIdeDriveForTheSeedCorpus)
{
    SetDisc("ide0", "/dev/sr1", s_strDvd);
    std::string strCorpus = Guest().SharePath() + "/corpus";
    RKProbeRun stRun = RunTool({RKKERNEL_DRIVE, "capture", "/dev/sr1", strCorpus, "ide-dvd"});
    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    ExpectAnswers(strCorpus, {
                                 {"inquiry/qemu-ide-dvd.bin", 36, 8, "QEMU    QEMU DVD-ROM    "},
                                 // The profile list alone: DVD-ROM (current), CD-ROM.
                                 {"configuration/qemu-ide-dvd-all.bin", 20, 0,
                                  Bytes("\0\0\0\x10\0\0\0\x10\0\0\x03\x08\0\x10\x01\0\0\x08\0\0", 20)},
                                 {"discinfo/qemu-ide-dvd.bin", 34, 0, Bytes("\0\x20\x0e", 3)},
                             });
    ExportCorpus(strCorpus);
}
