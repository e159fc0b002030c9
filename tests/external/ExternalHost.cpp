// Loads the external engine through the library and checks every field
// and virtual slot the engine filled, as the library sees them.
#include <cstdio>

// A Windows host has the system's header first; the library's types must
// agree with it.
#if defined(_WIN32)
#include <windows.h>
#endif

#include "RKDRV.h"

namespace
{
int s_nFailures = 0;

void Check(bool bOk, const char* szWhat)
{
    if (!bOk)
    {
        std::printf("FAILED: %s\n", szWhat);
        ++s_nFailures;
    }
}

bool SameText(const unsigned short* szText, const char* szExpected)
{
    for (; *szExpected; ++szText, ++szExpected)
    {
        if (*szText != static_cast<unsigned char>(*szExpected))
            return false;
    }
    return *szText == 0;
}
} // namespace

int main()
{
    CRKDRVManager* pManager = RKDRV::GetODDManager(RKDRV_ENGINE_SC);
    if (!pManager)
    {
        std::printf("FAILED: the external engine did not load\n");
        return 1;
    }
    Check(pManager->IsValid() == 0x5B, "Initialize ran and m_bValid is read back");
    Check(pManager->GetModule() != nullptr, "module handle stored");
    Check(pManager->EngineReserved() == 5, "manager slot 5");
    Check(pManager->GetNbWriter() == 1, "one writer listed");
    CRKWriter* pWriter = pManager->GetWriter(0);
    Check(pWriter && pWriter->GetDriveLetter() == 'X', "drive letter");
    Check(pWriter && pWriter->GetSupportedMedia() == 0xA5A5A5A5u, "supported media");
    Check(pWriter && SameText(pWriter->GetModelName(), "External Writer"), "model name");
    if (pWriter)
    {
        Check(pWriter->EngineReserved1() == 101 && pWriter->EngineReserved4() == 104, "writer slots 3-6");
        Check(pWriter->IsMediaIn() == 1, "writer slot 7 override");
        Check(pWriter->GetMediaInfo().dwDiscType == 0x77, "writer slot 9");
        Check(pWriter->EjectTray() == 110, "writer slot 10");
        Check(pWriter->EngineReserved5() == 105 && pWriter->EngineReserved10() == 111, "writer slots 11-16");
        RKWRITERCALLBACKINFO info;
        Check(pWriter->CallBack(1, info) == 1, "default callback");
    }
    Check(pManager->Refresh() == 0 && pManager->GetNbWriter() == 2, "Refresh through EnumerateWriters");
    unsigned int uIndex = 0;
    Check(pManager->GetWriterFromLetter('Z', uIndex) != nullptr && uIndex == 1, "letter lookup");
    RKDRV::ClearODDManager(pManager);
    if (s_nFailures == 0)
        std::printf("external engine and host: ok\n");
    return s_nFailures == 0 ? 0 : 1;
}
