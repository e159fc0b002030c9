// The tool's commands. Each fills its part of the JSON document and, when
// not in JSON mode, prints its text; each returns the exit code.
#ifndef RKTOOLCOMMANDS_H
#define RKTOOLCOMMANDS_H

#include <string>

#include "RKToolConsole.h"
#include "RKToolEngine.h"
#include "RKToolOptions.h"
#include "RKToolReport.h"
#include "RKToolTrace.h"

struct RKToolContext
{
    CRKToolConsole& console;
    const RKToolOptions& options;
    // The whole document; errors go to its "error" member.
    RKToolJson& jsonDoc;
    // The library's records, read for its fault records.
    const CRKToolTraceSink& trace;
};

// "rkdrv: <message>" on stderr, and the error in the document. Returns nCode.
int RKToolFail(RKToolContext& ctx, int nCode, const std::string& strMessage);

// Exit 3 with its message when no engine module yields a manager.
int RKToolLoadEngine(RKToolContext& ctx, CRKToolEngine& engine, const RKToolEngineChoice& stChoice);
// The writer with the letter: exact first, then the other case, since the
// library compares letters exactly. Exit 4 with its message when none has it.
int RKToolFindDrive(RKToolContext& ctx, CRKToolEngine& engine, WORD wLetter, DWORD& dwIndex);

int RKToolList(RKToolContext& ctx, CRKToolEngine& engine, RKToolJson& jsonOut);
int RKToolInfo(RKToolContext& ctx, CRKToolEngine& engine, WORD wLetter, RKToolJson& jsonOut);
int RKToolEject(RKToolContext& ctx, CRKToolEngine& engine, WORD wLetter, RKToolJson& jsonOut);
int RKToolReload(RKToolContext& ctx, CRKToolEngine& engine, const RKToolEngineChoice& stTo,
                 RKToolJson& jsonOut);
int RKToolVersion(RKToolContext& ctx, const RKToolEngineChoice& stChoice, RKToolJson& jsonOut);

struct RKToolWaitRequest
{
    bool bAnyDrive = true;
    WORD wLetter = 0;
    bool bSingle = false;
    bool bHasType = false;
    DWORD dwType = 0;
    bool bHasTimeout = false;
    double dTimeout = 0;
};

int RKToolWait(RKToolContext& ctx, CRKToolEngine& engine, const RKToolWaitRequest& stRequest,
               RKToolJson& jsonOut);

// The typical request on the sample engine's simulated drives.
int RKToolDemo(RKToolContext& ctx);

#endif
