// rkdrv close, lock and unlock: the tray through the writer's details
// interface.
#include <chrono>
#include <thread>

#include "RKToolCommands.h"
#include "RKToolExitCodes.h"
#include "RKToolSystem.h"
#include "RKToolText.h"

namespace
{
const char* CommandName(RKToolTrayAction eAction)
{
    switch (eAction)
    {
    case RKToolTrayAction::Close:
        return "close";
    case RKToolTrayAction::Lock:
        return "lock";
    default:
        return "unlock";
    }
}

class CRKToolInterrupts
{
public:
    CRKToolInterrupts() { RKToolInstallInterruptHandler(); }
    ~CRKToolInterrupts() { RKToolRemoveInterruptHandler(); }
    CRKToolInterrupts(const CRKToolInterrupts&) = delete;
    CRKToolInterrupts& operator=(const CRKToolInterrupts&) = delete;
};

// Where the lock ends with the program, the program stays until Ctrl-C,
// then unlocks: under a system that would keep the lock, it goes too.
void HoldUntilInterrupt(RKToolContext& ctx, CRKWriter* pWriter, const std::string& strDrive)
{
    CRKToolInterrupts interrupts;
    int nBefore = RKToolInterruptCount();
    ctx.console.Err("rkdrv: the door of " + strDrive +
                    " stays locked while rkdrv runs (the system drops the lock when it ends); Ctrl-C "
                    "unlocks it and ends");
    while (RKToolInterruptCount() == nBefore)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int nResult = RKDRV::LockTray(pWriter, 0);
    ctx.console.Err("rkdrv: Ctrl-C: door of " + strDrive + " unlocked (LockTray gave " +
                    std::to_string(nResult) + ")");
}
} // namespace

int RKToolTray(RKToolContext& ctx, CRKToolEngine& engine, WORD wLetter, RKToolTrayAction eAction,
               RKToolJson& jsonOut)
{
    jsonOut["engine"] = RKToolEngineJson(engine);
    DWORD dwIndex = 0;
    if (int nCode = RKToolFindDrive(ctx, engine, wLetter, dwIndex))
        return nCode;
    CRKWriter* pWriter = engine.Manager()->GetWriter(dwIndex);
    const char* szOperation = eAction == RKToolTrayAction::Close ? "CloseTray" : "LockTray";
    int nResult = eAction == RKToolTrayAction::Close
                      ? RKDRV::CloseTray(pWriter)
                      : RKDRV::LockTray(pWriter, eAction == RKToolTrayAction::Lock);
    RKToolJson jsonAction;
    jsonAction["index"] = dwIndex;
    jsonAction["letter"] = RKToolLetterText(pWriter->GetDriveLetter());
    jsonAction["result"] = nResult;
    jsonOut[CommandName(eAction)] = jsonAction;

    std::string strDrive = RKToolLetterText(pWriter->GetDriveLetter()) + ":";
    std::string strWhat = eAction == RKToolTrayAction::Close  ? "close the tray"
                          : eAction == RKToolTrayAction::Lock ? "lock the door"
                                                              : "unlock the door";
    if (!nResult)
        return RKToolFail(
            ctx, RKEXIT_NO_DISC,
            "the engine did not " + strWhat + " of " + strDrive + " (" + szOperation + " gave 0" +
                (RKDRV::GetWriterDetails(pWriter) ? "" : ": its engine offers no tray control") + ")");
    std::string strDone = eAction == RKToolTrayAction::Close  ? "Tray of " + strDrive + " closed"
                          : eAction == RKToolTrayAction::Lock ? "Door of " + strDrive + " locked"
                                                              : "Door of " + strDrive + " unlocked";
    ctx.console.Out(strDone + " (index " + std::to_string(dwIndex) + ", " + szOperation + " gave " +
                    std::to_string(nResult) + ")");
    if (eAction == RKToolTrayAction::Lock)
    {
        if (RKToolLockEndsWithProgram())
            HoldUntilInterrupt(ctx, pWriter, strDrive);
        else
            ctx.console.Out("It stays locked until 'rkdrv unlock " +
                            RKToolLetterText(pWriter->GetDriveLetter()) + "'.");
    }
    return RKEXIT_DONE;
}
