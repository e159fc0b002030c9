// What only Windows has: DLL exports, the module search, module handles and
// one C++ runtime per module. The library's header comes first and
// <windows.h> after it, as a host may include them.
#include "RKDRV.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <type_traits>

#include "RKOsLayer.h"
#include "RKTestFolderLoad.h"
#include "RKTestModule.h"
#include "RKTestProbe.h"
#include "RKTextUtil.h"

static_assert(std::is_same<DWORD, unsigned long>::value && std::is_same<HINSTANCE, HMODULE>::value,
              "the library's types are the system's");

namespace
{
RKTestProbe s_Probe;

std::wstring Wide(const std::string& strText)
{
    return std::wstring(strText.begin(), strText.end());
}

std::wstring ModulePath(HMODULE hModule)
{
    wchar_t szPath[MAX_PATH];
    DWORD dwLength = GetModuleFileNameW(hModule, szPath, MAX_PATH);
    return std::wstring(szPath, dwLength);
}

// The loader keeps the name as requested, so paths compare without case.
bool SamePath(const std::wstring& strA, const std::wstring& strB)
{
    return CompareStringOrdinal(strA.c_str(), -1, strB.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The module whose image holds that address; no reference is taken.
HMODULE ModuleOf(const void* pAddress)
{
    HMODULE hModule = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(pAddress), &hModule);
    return hModule;
}

// The names in a loaded module's export directory.
std::set<std::string> ExportedNames(HMODULE hModule)
{
    const unsigned char* pBase = reinterpret_cast<const unsigned char*>(hModule);
    const IMAGE_DOS_HEADER* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase);
    const IMAGE_NT_HEADERS* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + pDos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dirExport = pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> setNames;
    if (!dirExport.VirtualAddress)
        return setNames;
    const IMAGE_EXPORT_DIRECTORY* pExports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(pBase + dirExport.VirtualAddress);
    const DWORD* pdwNames = reinterpret_cast<const DWORD*>(pBase + pExports->AddressOfNames);
    for (DWORD dwIndex = 0; dwIndex < pExports->NumberOfNames; ++dwIndex)
        setNames.insert(reinterpret_cast<const char*>(pBase + pdwNames[dwIndex]));
    return setNames;
}

// A wide text as the interface's 16-bit text, copied, not cast.
RKText Text16(const std::wstring& strWide)
{
    return RKText(strWide.begin(), strWide.end());
}

class RKWindowsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RKTestProbeReset(s_Probe);
        RKTestPublishProbe(&s_Probe);
    }

    void TearDown() override
    {
        RKOsSetCalls(nullptr);
        RKTestPublishProbe(nullptr);
    }

    // Engines by full path from engine set szSet, as the loader tests do.
    void UseEngineSet(const char* szSet) { RKTestLoadEnginesFrom(szSet, nullptr); }

    // A fresh folder under the temporary one, with a trailing backslash.
    std::wstring NewFolder(const wchar_t* szName)
    {
        wchar_t szTemp[MAX_PATH];
        DWORD dwLength = GetTempPathW(MAX_PATH, szTemp);
        std::wstring strFolder =
            std::wstring(szTemp, dwLength) + szName + L"_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(strFolder.c_str(), nullptr);
        return strFolder;
    }

    std::string Events() const { return s_Probe.szEvents; }
};
} // namespace

TEST_F(RKWindowsTest, LibraryExportsItsClassesAndFunctions)
{
    HMODULE hLibrary = GetModuleHandleW(L"RKDRV.DLL");
    ASSERT_NE(nullptr, hLibrary);
    std::set<std::string> setNames = ExportedNames(hLibrary);
    // Namespace functions, virtual tables and type information, by their
    // mangled names, so that engines can derive and hosts can call.
    for (const char* szName :
         {"_ZN5RKDRV13GetODDManagerEm", "_ZN5RKDRV15ClearODDManagerEP13CRKDRVManager", "_ZTV9CRKWriter",
          "_ZTI9CRKWriter", "_ZTV13CRKDRVManager", "_ZTI13CRKDRVManager", "_ZTV13CRKBaseObject",
          "_ZTV24CRKDefaultWriterCallBack", "_ZN6CRKLog11GetInstanceEv"})
    {
        EXPECT_EQ(1u, setNames.count(szName)) << szName;
    }
    // Nothing of the runtime linked into it.
    for (const std::string& strName : setNames)
    {
        EXPECT_EQ(std::string::npos, strName.find("_ZNSt")) << strName;
        EXPECT_NE(0, strName.compare(0, 7, "pthread")) << strName;
    }
}

TEST_F(RKWindowsTest, EngineExportsOnlyItsFactoryUnmangled)
{
    HMODULE hEngine = LoadLibraryW(Wide(RKTestEngineFile("im_only", "RKDRVIM")).c_str());
    ASSERT_NE(nullptr, hEngine);
    EXPECT_EQ((std::set<std::string>{"_RK_Factory_Creation_Function_CRKDRVManager"}), ExportedNames(hEngine));
    EXPECT_TRUE(FreeLibrary(hEngine));
}

TEST_F(RKWindowsTest, EveryModuleCarriesItsOwnRuntime)
{
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000000);
    ASSERT_NE(nullptr, pManager);
    // No module of the process imports a shared C++ runtime.
    for (const wchar_t* szRuntime : {L"libstdc++-6.dll", L"libgcc_s_seh-1.dll", L"libwinpthread-1.dll"})
    {
        EXPECT_EQ(nullptr, GetModuleHandleW(szRuntime)) << szRuntime;
    }
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKWindowsTest, EngineObjectsDieThroughTheLibraryAndTheModuleGoes)
{
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000000);
    ASSERT_NE(nullptr, pManager);
    HMODULE hEngine = pManager->GetModule();
    HMODULE hLibrary = GetModuleHandleW(L"RKDRV.DLL");
    ASSERT_NE(hLibrary, hEngine);
    // The objects and their virtual tables belong to the engine module;
    // the writer table is emptied by the library's code.
    ASSERT_EQ(2, pManager->GetNbWriter());
    EXPECT_EQ(hEngine, ModuleOf(*reinterpret_cast<void**>(pManager)));
    EXPECT_EQ(hEngine, ModuleOf(*reinterpret_cast<void**>(pManager->GetWriter(0))));

    s_Probe.nLetters = 1;
    s_Probe.awLetters[0] = 'G';
    EXPECT_EQ(0, pManager->Refresh());
    EXPECT_EQ(2, s_Probe.nWritersDestroyed);
    ASSERT_EQ(1, pManager->GetNbWriter());

    RKDRV::ClearODDManager(pManager);
    EXPECT_EQ("RKDRVSC:factory;RKDRVSC:initialize;RKDRVSC:writer-destroyed;RKDRVSC:writer-destroyed;"
              "RKDRVSC:enumerate;RKDRVSC:release;RKDRVSC:manager-destroyed;RKDRVSC:writer-destroyed;"
              "RKDRVSC:unload;",
              Events());
    EXPECT_EQ(nullptr, GetModuleHandleW(L"RKDRVSC.DLL"));
}

TEST_F(RKWindowsTest, ModuleHandleIsTheEngineDll)
{
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000000);
    ASSERT_NE(nullptr, pManager);
    HMODULE hEngine = GetModuleHandleW(L"RKDRVSC.DLL");
    ASSERT_NE(nullptr, hEngine);
    EXPECT_EQ(hEngine, pManager->GetModule());
    // Found beside the program.
    EXPECT_TRUE(SamePath(Wide(RKTestEngineFile("all", "RKDRVSC")), ModulePath(hEngine)));
    RKDRV::ClearODDManager(pManager);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"RKDRVSC.DLL"));
}

TEST_F(RKWindowsTest, ModuleOfANullFactoryStaysLoaded)
{
    UseEngineSet("null_cl");
    EXPECT_EQ(nullptr, RKDRV::GetODDManager(0xF0000002));
    HMODULE hEngine = GetModuleHandleW(L"RKDRVCL.DLL");
    ASSERT_NE(nullptr, hEngine);
    EXPECT_TRUE(SamePath(Wide(RKTestEngineFile("null_cl", "RKDRVCL")), ModulePath(hEngine)));

    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000001);
    ASSERT_NE(nullptr, pManager);
    RKDRV::ClearODDManager(pManager);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"RKDRVRD.DLL"));
    EXPECT_EQ(hEngine, GetModuleHandleW(L"RKDRVCL.DLL"));
}

TEST_F(RKWindowsTest, EnginesComeFromTheProgramsFolderNeverTheCurrentOne)
{
    // A module planted in the current directory under a name the program's
    // folder lacks, and one under an engine name the program's folder has.
    std::wstring strPlant = NewFolder(L"rkdrv_plant");
    std::wstring strPlanted = strPlant + L"RKDRVPL.DLL";
    std::wstring strPlantedEngine = strPlant + L"RKDRVSC.DLL";
    std::wstring strSource = Wide(RKTestEngineFile("im_only", "RKDRVIM"));
    ASSERT_TRUE(CopyFileW(strSource.c_str(), strPlanted.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(strSource.c_str(), strPlantedEngine.c_str(), FALSE));
    wchar_t szOldDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, szOldDirectory);
    ASSERT_TRUE(SetCurrentDirectoryW(strPlant.c_str()));

    // The plain search would load the plant...
    HMODULE hPlain = LoadLibraryW(L"RKDRVPL.DLL");
    EXPECT_NE(nullptr, hPlain);
    if (hPlain)
        FreeLibrary(hPlain);
    EXPECT_EQ("RKDRVIM:unload;", Events());
    RKTestProbeReset(s_Probe);
    // ...the library's does not...
    EXPECT_EQ(nullptr, RKOsDefaultCalls().pfnLoadModule(RK_TEXT("RKDRVPL.DLL")));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"RKDRVPL.DLL"));
    // ...nor does it take a planted engine's name from there.
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000000);
    ASSERT_NE(nullptr, pManager);
    EXPECT_TRUE(SamePath(Wide(RKTestEngineFile("all", "RKDRVSC")), ModulePath(pManager->GetModule())));
    EXPECT_EQ("RKDRVSC:factory;RKDRVSC:initialize;", Events());
    RKDRV::ClearODDManager(pManager);

    // A folder the host adds itself is searched.
    DLL_DIRECTORY_COOKIE pCookie = AddDllDirectory(strPlant.c_str());
    ASSERT_NE(nullptr, pCookie);
    HINSTANCE hAdded = RKOsDefaultCalls().pfnLoadModule(RK_TEXT("RKDRVPL.DLL"));
    EXPECT_NE(nullptr, hAdded);
    if (hAdded)
    {
        EXPECT_TRUE(SamePath(strPlanted, ModulePath(hAdded)));
        RKOsDefaultCalls().pfnFreeModule(hAdded);
    }
    RemoveDllDirectory(pCookie);

    SetCurrentDirectoryW(szOldDirectory);
    EXPECT_TRUE(DeleteFileW(strPlanted.c_str()));
    EXPECT_TRUE(DeleteFileW(strPlantedEngine.c_str()));
    RemoveDirectoryW(strPlant.c_str());
}

TEST_F(RKWindowsTest, DeviceThatCannotBeOpenedIsNull)
{
    EXPECT_EQ(nullptr, RKOsDefaultCalls().pfnOpenDevice(RK_TEXT("\\\\.\\RKDRV_NO_SUCH_DEVICE")));
    EXPECT_EQ(nullptr, RKOsDefaultCalls().pfnOpenDevice(nullptr));
}

TEST_F(RKWindowsTest, SomethingThatIsNoDriveHoldsNoMedium)
{
    // A plain file opens as the device path would, and answers no to the
    // medium check.
    std::wstring strFolder = NewFolder(L"rkdrv_device");
    std::wstring strFile = strFolder + L"volume";
    HANDLE hFile = CreateFileW(strFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    CloseHandle(hFile);

    RKOsDevice hDevice = RKOsDefaultCalls().pfnOpenDevice(Text16(strFile).c_str());
    ASSERT_NE(nullptr, hDevice);
    EXPECT_EQ(0, RKOsDefaultCalls().pfnCheckMedia(hDevice));
    RKOsDefaultCalls().pfnCloseDevice(hDevice);

    EXPECT_TRUE(DeleteFileW(strFile.c_str()));
    RemoveDirectoryW(strFolder.c_str());
}

// A program burning a disc holds the drive for writing: the presence check
// still opens it, and leaves it to be opened for writing too.
TEST_F(RKWindowsTest, PresenceCheckSharesTheDeviceWithWriters)
{
    std::wstring strFolder = NewFolder(L"rkdrv_shared");
    std::wstring strFile = strFolder + L"volume";
    HANDLE hWriter = CreateFileW(strFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hWriter);
    RKOsDevice hDevice = RKOsDefaultCalls().pfnOpenDevice(Text16(strFile).c_str());
    EXPECT_NE(nullptr, hDevice);
    HANDLE hSecond = CreateFileW(strFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, hSecond);
    CloseHandle(hSecond);
    if (hDevice)
        RKOsDefaultCalls().pfnCloseDevice(hDevice);
    // A program holding it for itself still keeps everyone out.
    CloseHandle(hWriter);
    hWriter = CreateFileW(strFile.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(nullptr, RKOsDefaultCalls().pfnOpenDevice(Text16(strFile).c_str()));
    CloseHandle(hWriter);

    EXPECT_TRUE(DeleteFileW(strFile.c_str()));
    RemoveDirectoryW(strFolder.c_str());
}
