// rkdrv watch: the library's watch of the engine's drives, each event
// printed (and flushed) the moment the library reports it.
#include "RKToolWatch.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "RKToolExitCodes.h"
#include "RKToolText.h"
#include "RKToolWatchSystem.h"
#include "RKUtf8.h"

namespace
{
// Now, as the local time of day ("20:31:46.123") and as UTC in ISO 8601
// with milliseconds ("2024-05-01T18:31:46.123Z").
void WallClock(std::string& strLocalTime, std::string& strIsoUtc)
{
    long long llMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    std::time_t tSeconds = static_cast<std::time_t>(llMs / 1000);
    int nMs = static_cast<int>(llMs % 1000);
    std::tm stLocal;
    std::tm stUtc;
    RKToolBrokenDownTime(tSeconds, true, stLocal);
    RKToolBrokenDownTime(tSeconds, false, stUtc);
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%02d:%02d:%02d.%03d", stLocal.tm_hour, stLocal.tm_min,
                  stLocal.tm_sec, nMs);
    strLocalTime = szText;
    std::snprintf(szText, sizeof(szText), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", stUtc.tm_year + 1900,
                  stUtc.tm_mon + 1, stUtc.tm_mday, stUtc.tm_hour, stUtc.tm_min, stUtc.tm_sec, nMs);
    strIsoUtc = szText;
}

const char* EventName(DWORD dwKind)
{
    switch (dwKind)
    {
    case RKWATCH_STATE:
        return "state";
    case RKWATCH_DISC_INSERTED:
        return "disc-inserted";
    case RKWATCH_DISC_REMOVED:
        return "disc-removed";
    case RKWATCH_TRAY_OPENED:
        return "tray-opened";
    case RKWATCH_TRAY_CLOSED:
        return "tray-closed";
    case RKWATCH_EJECT_REQUEST:
        return "eject-request";
    case RKWATCH_DRIVE_ADDED:
        return "drive-added";
    case RKWATCH_DRIVE_REMOVED:
        return "drive-removed";
    }
    return "unknown";
}

RKToolJson Flag(DWORD dwValue)
{
    return dwValue == RKDETAILS_UNKNOWN ? RKToolJson() : RKToolJson(dwValue != 0);
}

// Prints every event; answers 0 once --count events (start states aside)
// have been printed.
class CRKToolWatchPrinter : public CRKWatchCallBack
{
public:
    CRKToolWatchPrinter(RKToolContext& ctx, long long llCount) : m_ctx(ctx), m_llCount(llCount) {}

    int OnWatchEvent(const RKWatchEvent& stEvent) override
    {
        // Runs inside the library: nothing may escape; a failure ends the watch.
        try
        {
            Print(stEvent);
            if (stEvent.dwKind != RKWATCH_STATE)
                ++m_llSeen;
            if (m_llCount > 0 && m_llSeen >= m_llCount)
                return 0;
            return 1;
        }
        catch (...)
        {
            return 0;
        }
    }

    long long Seen() const { return m_llSeen; }

private:
    // The medium as the rest of the tool names it.
    RKToolDriveRow MediaRow(const RKWatchEvent& stEvent) const
    {
        RKToolDriveRow stRow;
        stRow.dwIndex = stEvent.dwIndex;
        stRow.wLetter = stEvent.wLetter;
        stRow.strModel = RKTextToUtf8(stEvent.szModel);
        stRow.bMediaKnown = true;
        stRow.bDisc = stEvent.dwDiscPresent == 1;
        stRow.dwMediaType = stEvent.dwMediaType;
        stRow.dwDiscType = stEvent.dwDiscType;
        // What the engine's details said of the disc, as info has them.
        if (stEvent.dwDiscState != RKDETAILS_UNKNOWN || stEvent.dwProfile != RKDETAILS_UNKNOWN)
        {
            stRow.stDetails.bOffered = stRow.stDetails.bDiscAsked = stRow.stDetails.bDisc = true;
            stRow.stDetails.stDisc.dwDiscPresent = 1;
            stRow.stDetails.stDisc.dwProfile = stEvent.dwProfile;
            stRow.stDetails.stDisc.dwDiscState = stEvent.dwDiscState;
        }
        return stRow;
    }

    std::string DiscText(const RKWatchEvent& stEvent) const
    {
        RKToolDriveRow stRow = MediaRow(stEvent);
        return RKToolMediaText(stRow) + ", " + RKToolDiscStateText(stRow);
    }

    // Where a drive stands: "disc in: CD, complete; tray closed; unlocked".
    std::string StateText(const RKWatchEvent& stEvent) const
    {
        std::string strText = stEvent.dwDiscPresent == 1   ? "disc in: " + DiscText(stEvent)
                              : stEvent.dwDiscPresent == 0 ? std::string("no disc")
                                                           : std::string("disc not known");
        if (stEvent.dwTrayOpen != RKDETAILS_UNKNOWN)
            strText += stEvent.dwTrayOpen ? "; tray open" : "; tray closed";
        if (stEvent.dwLocked != RKDETAILS_UNKNOWN)
            strText += stEvent.dwLocked ? "; locked" : "; unlocked";
        if (stEvent.dwSource == RKWATCH_SOURCE_PRESENCE)
            strText += " (the engine gives no tray state: disc inserted and removed only)";
        return strText;
    }

    std::string Text(const RKWatchEvent& stEvent) const
    {
        std::string strModel = RKTextToUtf8(stEvent.szModel);
        switch (stEvent.dwKind)
        {
        case RKWATCH_STATE:
            return "watching: " + StateText(stEvent);
        case RKWATCH_DISC_INSERTED:
            return "disc inserted: " + DiscText(stEvent);
        case RKWATCH_DISC_REMOVED:
            return "disc removed";
        case RKWATCH_TRAY_OPENED:
            return "tray opened";
        case RKWATCH_TRAY_CLOSED:
            return "tray closed";
        case RKWATCH_EJECT_REQUEST:
            return "eject request (the button, with the door locked)";
        case RKWATCH_DRIVE_ADDED:
            return "drive added: " + strModel + "; " + StateText(stEvent);
        case RKWATCH_DRIVE_REMOVED:
            return "drive removed: " + strModel;
        }
        return "unknown event " + std::to_string(stEvent.dwKind);
    }

    RKToolJson Json(const RKWatchEvent& stEvent, const std::string& strTime) const
    {
        RKToolJson jsonEvent;
        jsonEvent["event"] = EventName(stEvent.dwKind);
        jsonEvent["time"] = strTime;
        jsonEvent["elapsed_s"] = static_cast<double>(stEvent.ullTimeMs) / 1000.0;
        jsonEvent["index"] = stEvent.dwIndex;
        jsonEvent["letter"] = stEvent.wLetter ? RKToolJson(RKToolLetterText(stEvent.wLetter)) : RKToolJson();
        bool bState = stEvent.dwKind == RKWATCH_STATE || stEvent.dwKind == RKWATCH_DRIVE_ADDED;
        if (bState || stEvent.dwKind == RKWATCH_DRIVE_REMOVED)
            jsonEvent["model"] = RKTextToUtf8(stEvent.szModel);
        if (bState)
        {
            jsonEvent["disc_present"] = Flag(stEvent.dwDiscPresent);
            jsonEvent["tray_open"] = Flag(stEvent.dwTrayOpen);
            jsonEvent["locked"] = Flag(stEvent.dwLocked);
            // The kinds of event this drive can report.
            RKToolJson jsonKinds = RKToolJson::array();
            jsonKinds.push_back("disc-inserted");
            jsonKinds.push_back("disc-removed");
            if (stEvent.dwSource == RKWATCH_SOURCE_TRAY_STATE)
            {
                for (const char* szKind : {"tray-opened", "tray-closed", "eject-request"})
                    jsonKinds.push_back(szKind);
            }
            jsonEvent["events"] = jsonKinds;
        }
        if (stEvent.dwKind == RKWATCH_DISC_INSERTED || bState)
        {
            // The same words as the writer object of list and info.
            RKToolJson jsonDrive = RKToolDriveJson(MediaRow(stEvent));
            jsonEvent["media_type_name"] = jsonDrive["media_type_name"];
            jsonEvent["disc_state"] = jsonDrive["disc_state"];
        }
        return jsonEvent;
    }

    void Print(const RKWatchEvent& stEvent)
    {
        std::string strLocal;
        std::string strIso;
        WallClock(strLocal, strIso);
        if (m_ctx.options.bJson)
        {
            m_ctx.console.PrintDocument(RKToolJsonLine(Json(stEvent, strIso)));
            return;
        }
        std::string strDrive = stEvent.wLetter ? RKToolLetterText(stEvent.wLetter) + ":" : std::string("?:");
        m_ctx.console.Out(strLocal + "  " + strDrive + "  " + Text(stEvent));
    }

    RKToolContext& m_ctx;
    long long m_llCount;
    long long m_llSeen = 0;
};

std::string LetterList(const std::vector<WORD>& vecLetters)
{
    std::string strList;
    for (WORD wLetter : vecLetters)
        strList += (strList.empty() ? "" : ", ") + RKToolLetterText(wLetter) + ":";
    return strList;
}
} // namespace

CLI::App* RKToolAddWatchCommand(CLI::App& app, RKToolWatchArguments& args, const std::string& strFooter)
{
    CLI::App* pWatch = app.add_subcommand("watch", "Report every change of the drives as it happens");
    pWatch->add_option("LETTER", args.vecLetters, "Drive letters to watch (E or E:); none: every drive")
        ->type_name("");
    args.pInterval =
        pWatch->add_option("--interval", args.llIntervalMs, "Poll every drive this often (default 250)")
            ->type_name("MS");
    args.pTimeout =
        pWatch->add_option("--timeout", args.dTimeout, "End after this many seconds")->type_name("SECONDS");
    args.pCount = pWatch->add_option("--count", args.llCount, "End after this many events")->type_name("N");
    pWatch->footer("\nEvents: disc inserted (with its media type, once the drive is ready), disc removed,\n"
                   "tray opened, tray closed, eject request (the drive's button while its door is\n"
                   "locked), drive added, drive removed; first the state each drive starts in. The\n"
                   "drives are only asked for their status: no tray moves, nothing stays open.\n"
                   "Ctrl-C, --timeout and --count end the watch with exit code 0.\n" +
                   strFooter);
    return pWatch;
}

int RKToolCheckWatch(const RKToolWatchArguments& args, RKToolOptions& options)
{
    for (const std::string& strLetter : args.vecLetters)
    {
        std::string strUpper = RKToolUpper(strLetter);
        if (strUpper.empty() || strUpper.size() > 2 || strUpper[0] < 'A' || strUpper[0] > 'Z' ||
            (strUpper.size() == 2 && strUpper[1] != ':'))
            return RKToolUsageError("bad drive letter '" + strLetter + "': give letters like E or E:",
                                    "watch");
        options.vecWatchLetters.push_back(static_cast<WORD>(strUpper[0]));
    }
    if (args.pInterval->count() > 0)
    {
        if (args.llIntervalMs < RKWATCH_MIN_INTERVAL_MS || args.llIntervalMs > RKWATCH_MAX_INTERVAL_MS)
            return RKToolUsageError("--interval takes milliseconds from " +
                                        std::to_string(RKWATCH_MIN_INTERVAL_MS) + " to " +
                                        std::to_string(RKWATCH_MAX_INTERVAL_MS),
                                    "watch");
        options.dwIntervalMs = static_cast<DWORD>(args.llIntervalMs);
    }
    options.bHasTimeout = args.pTimeout->count() > 0;
    if (options.bHasTimeout)
    {
        if (!(args.dTimeout >= 0 && std::isfinite(args.dTimeout)))
            return RKToolUsageError("--timeout takes a number of seconds, 0 or more", "watch");
        options.dTimeout = args.dTimeout;
    }
    options.bHasCount = args.pCount->count() > 0;
    if (options.bHasCount)
    {
        if (args.llCount < 1)
            return RKToolUsageError("--count takes a number of events, 1 or more", "watch");
        options.llCount = args.llCount;
    }
    return -1;
}

int RKToolWatch(RKToolContext& ctx, CRKToolEngine& engine)
{
    const RKToolOptions& options = ctx.options;
    CRKDRVManager* pManager = engine.Manager();
    RKWatchSettings stSettings = {};
    stSettings.cbSize = sizeof(stSettings);
    stSettings.dwIntervalMs = options.dwIntervalMs;
    if (options.bHasTimeout)
    {
        // 0 ms would mean no end at all; the states are still shown.
        double dMs = std::ceil(options.dTimeout * 1000.0);
        stSettings.dwDurationMs = dMs < 1 ? 1 : dMs > 4294967294.0 ? 4294967294u : static_cast<DWORD>(dMs);
    }
    std::vector<WORD> vecLetters;
    for (WORD wLetter : options.vecWatchLetters)
    {
        DWORD dwIndex = 0;
        if (int nCode = RKToolFindDrive(ctx, engine, wLetter, dwIndex))
            return nCode;
        // The library compares letters without regard to case.
        if (std::find(vecLetters.begin(), vecLetters.end(), wLetter) == vecLetters.end() &&
            vecLetters.size() < 26)
            vecLetters.push_back(wLetter);
    }
    stSettings.dwLetterCount = static_cast<DWORD>(vecLetters.size());
    std::copy(vecLetters.begin(), vecLetters.end(), stSettings.awLetters);

    HRKWATCH hWatch = RKDRV::CreateWatch(pManager, &stSettings);
    if (!hWatch)
        return RKToolFail(ctx, RKEXIT_NO_DISC, "the watch could not start (--trace tells why)");
    DWORD dwInterval = options.dwIntervalMs ? options.dwIntervalMs : RKWATCH_DEFAULT_INTERVAL_MS;
    std::string strWhat = vecLetters.empty()
                              ? (pManager->GetNbWriter() > 0 ? std::string("every drive")
                                                             : std::string("for drives (none yet)"))
                              : LetterList(vecLetters);
    ctx.console.Err("rkdrv: watching " + strWhat + ", every " + std::to_string(dwInterval) +
                    " ms; Ctrl-C stops");

    CRKToolWatchPrinter printer(ctx, options.bHasCount ? options.llCount : 0);
    RKToolInstallWatchInterrupt(hWatch);
    DWORD dwEnd = RKDRV::RunWatch(hWatch, &printer);
    RKToolRemoveWatchInterrupt();
    RKDRV::CloseWatch(hWatch);

    switch (dwEnd)
    {
    case RKWATCH_END_CALLBACK:
        if (options.bHasCount && printer.Seen() >= options.llCount)
        {
            ctx.console.Err("rkdrv: " + std::to_string(printer.Seen()) +
                            (printer.Seen() == 1 ? " event" : " events") + " seen: done");
            return RKEXIT_DONE;
        }
        return RKToolFail(ctx, RKEXIT_NO_DISC, "the watch ended: an event could not be printed");
    case RKWATCH_END_STOPPED:
        ctx.console.Err("rkdrv: stopped by Ctrl-C");
        return RKEXIT_DONE;
    case RKWATCH_END_DURATION:
        ctx.console.Err("rkdrv: timeout of " + RKToolSeconds(options.dTimeout) + " s reached");
        return RKEXIT_DONE;
    default:
        return RKToolFail(ctx, RKEXIT_NO_DISC, "the watch failed (--trace tells why)");
    }
}
