// An example host: asks for any engine, lists its drives, finds drive E,
// installs a progress callback on every drive, and switches engines while
// keeping the drive indexes.
#include <cstdio>
#include <cstring>
#include <string>

#include "RKDRV.h"

namespace
{
std::string ToNarrow(const unsigned short* szText)
{
    std::string strOut;
    for (; szText && *szText; ++szText)
        strOut += *szText < 0x80 ? static_cast<char>(*szText) : '?';
    return strOut;
}

class CRKPrintingCallBack : public CRKWriterCallBack
{
public:
    int CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info) override
    {
        std::printf("  progress: type %u, step %d\n", static_cast<unsigned>(dwType), info.step);
        return 1;
    }
};

// Shows the library's own trace when run with -v.
class CRKPrintingSink : public CRKLogSink
{
public:
    void Write(RKLogKind kind, const unsigned short* text) override
    {
        static const char* const s_aszKinds[] = {"enter", "exit", "step", "info", "error", "var"};
        std::printf("  [trace %s] %s\n", s_aszKinds[kind], ToNarrow(text).c_str());
    }
};

// Switches to another engine: the drives the host knows keep their indexes,
// drives new to it follow. Writer pointers from before are dead afterwards.
void ShowReload(CRKDRVManager*& pManager)
{
    auto ListDrives = [&pManager]()
    {
        for (int i = 0; i < pManager->GetNbWriter(); ++i)
        {
            CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i));
            if (pWriter)
                std::printf("  %d: %c: %s\n", i, static_cast<char>(pWriter->GetDriveLetter()),
                            ToNarrow(pWriter->GetModelName()).c_str());
            else
                std::printf("  %d: (drive no longer found)\n", i);
        }
    };
    std::printf("Drives before the reload:\n");
    ListDrives();
    if (!RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_RD))
    {
        std::printf("Reload failed; no manager left.\n");
        return;
    }
    std::printf("Reloaded with engine 0x%X; the known drives kept their indexes:\n",
                static_cast<unsigned>(RKDRV_ENGINE_RD));
    ListDrives();
}
} // namespace

int main(int argc, char** argv)
{
    CRKPrintingSink sink;
    if (argc > 1 && std::strcmp(argv[1], "-v") == 0)
        CRKLog::GetInstance()->SetSink(&sink);

    CRKDRVManager* pManager = RKDRV::GetODDManager(RKDRV_ENGINE_ANY);
    if (!pManager)
    {
        std::printf("No engine could be loaded.\n");
        return 1;
    }
    std::printf("Engine loaded; valid: %d; %d writer(s):\n", pManager->IsValid(), pManager->GetNbWriter());
    for (int i = 0; i < pManager->GetNbWriter(); ++i)
    {
        if (CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i)))
        {
            std::printf("  %d: %c: %s (supported media 0x%x)\n", i,
                        static_cast<char>(pWriter->GetDriveLetter()),
                        ToNarrow(pWriter->GetModelName()).c_str(),
                        static_cast<unsigned>(pWriter->GetSupportedMedia()));
        }
    }

    unsigned int uIndex = 0;
    if (CRKWriter* pWriter = pManager->GetWriterFromLetter('E', uIndex))
        std::printf("Drive E: is writer %u, %s\n", uIndex, ToNarrow(pWriter->GetModelName()).c_str());
    else
        std::printf("Drive E: not found\n");

    CRKPrintingCallBack callBack;
    pManager->SetCallBack(&callBack);
    if (CRKWriter* pWriter = pManager->GetWriter(uIndex))
    {
        RKWRITERCALLBACKINFO info;
        info.step = 1;
        std::printf("Callback installed; a report through drive %c: reaches it:\n",
                    static_cast<char>(pWriter->GetDriveLetter()));
        pWriter->CallBack(1, info);
        RKMediaInfo stInfo = pWriter->GetMediaInfo();
        std::printf("Medium reported by the engine: %s\n", ToNarrow(stInfo.GetMediaType()).c_str());
    }

    ShowReload(pManager);

    RKDRV::ClearODDManager(pManager);
    CRKLog::GetInstance()->SetSink(nullptr);
    std::printf("Manager released.\n");
    return 0;
}
