// The package's engine folder: bare engine names the ordinary search does
// not find are loaded from it, relative to the library's own folder.
#include <gtest/gtest.h>

#include <string>

#include "RKDRV.h"
#include "RKOsLayer.h"
#include "RKTestModule.h"

namespace
{
// Where the test build of the library, in its own folder, looks.
std::string PackageEngine(const char* szName)
{
    return std::string(RKTEST_PACKAGE_ENGINE_FOLDER) + "/lib" + szName + ".so";
}
} // namespace

TEST(RKEngineFolder, BareNameTheOrdinarySearchMissesLoadsFromIt)
{
    for (const unsigned short* szName : {RK_TEXT("RKDRVPK.DLL"), RK_TEXT("RKDRVPK.dll")})
    {
        HINSTANCE hModule = RKOsDefaultCalls().pfnLoadModule(szName);
        ASSERT_NE(nullptr, hModule);
        EXPECT_EQ(RKTestModuleHandle(PackageEngine("RKDRVPK")), static_cast<void*>(hModule));
        EXPECT_NE(nullptr, RKOsDefaultCalls().pfnGetSymbol(hModule, RKDRV_FACTORY_SYMBOL));
        EXPECT_NE(0, RKOsDefaultCalls().pfnFreeModule(hModule));
    }
    EXPECT_FALSE(RKTestIsModuleLoaded(PackageEngine("RKDRVPK")));
}

TEST(RKEngineFolder, OrdinarySearchComesFirstAndFoldersAreTakenAsGiven)
{
    if (!RKTestOrdinarySearchReaches("all"))
        GTEST_SKIP() << "run through ctest, which puts the engine set on the search path";
    // Both folders hold RKDRVIM: the one the ordinary search reaches wins.
    CRKDRVManager* pManager = RKDRV::GetODDManager(RKDRV_ENGINE_IM);
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ(RKTestModuleHandle(RKTestEngineFile("all", "RKDRVIM")),
              static_cast<void*>(pManager->GetModule()));
    EXPECT_FALSE(RKTestIsModuleLoaded(PackageEngine("RKDRVIM")));
    RKDRV::ClearODDManager(pManager);

    // A name with a folder part is never retried in the engine folder.
    EXPECT_EQ(nullptr, RKOsDefaultCalls().pfnLoadModule(RK_TEXT("nowhere/RKDRVPK.DLL")));
    EXPECT_FALSE(RKTestIsModuleLoaded(PackageEngine("RKDRVPK")));
}
