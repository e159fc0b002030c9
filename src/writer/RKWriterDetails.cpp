#include "RKWriterDetails.h"

#include <cstring>

#include "RKEngineFault.h"
#include "RKLog.h"

CRKWriterDetails::CRKWriterDetails() {}

CRKWriterDetails::CRKWriterDetails(const CRKWriterDetails&) {}

CRKWriterDetails& CRKWriterDetails::operator=(const CRKWriterDetails&)
{
    return *this;
}

// Out of line: the library holds the one copy of the class's virtual table
// and type information, which engines' writers refer to.
CRKWriterDetails::~CRKWriterDetails() {}

namespace
{
// An engine built without type information leaves the slot of its virtual
// tables that points at it null, and a cross cast would read through it.
// Both toolchains the library is built with follow the Itanium C++ ABI:
// that slot is the word just before the address point of the table.
bool HasTypeInformation(const CRKWriter* pWriter)
{
    const void* const* ppVtable = nullptr;
    std::memcpy(&ppVtable, static_cast<const void*>(pWriter), sizeof(ppVtable));
    return ppVtable && ppVtable[-1];
}

void Clear(RKDriveDetails& stDetails)
{
    const DWORD dwUnknown = RKDETAILS_UNKNOWN;
    stDetails.szVendor[0] = 0;
    stDetails.szProduct[0] = 0;
    stDetails.szRevision[0] = 0;
    stDetails.szSerial[0] = 0;
    stDetails.dwInterface = dwUnknown;
    stDetails.dwLoading = dwUnknown;
    stDetails.dwCanEject = dwUnknown;
    stDetails.dwCanClose = dwUnknown;
    stDetails.dwCanLock = dwUnknown;
    stDetails.dwCurrentProfile = dwUnknown;
    stDetails.dwProfileCount = dwUnknown;
    std::memset(stDetails.awProfiles, 0, sizeof(stDetails.awProfiles));
    stDetails.dwMaxReadKbps = dwUnknown;
    stDetails.dwMaxWriteKbps = dwUnknown;
    stDetails.dwBufferKiB = dwUnknown;
}

void Clear(RKDiscDetails& stDetails)
{
    const DWORD dwUnknown = RKDETAILS_UNKNOWN;
    stDetails.dwDiscPresent = dwUnknown;
    stDetails.dwProfile = dwUnknown;
    stDetails.dwMediaType = dwUnknown;
    stDetails.dwDiscState = dwUnknown;
    stDetails.dwErasable = dwUnknown;
    stDetails.dwSessions = dwUnknown;
    stDetails.dwLastSessionState = dwUnknown;
    stDetails.dwFirstTrack = dwUnknown;
    stDetails.dwLastTrack = dwUnknown;
    stDetails.dwAudioTracks = dwUnknown;
    stDetails.dwDataTracks = dwUnknown;
    stDetails.dwCapacityBlocks = dwUnknown;
    stDetails.dwBlockSize = dwUnknown;
    stDetails.dwFreeBlocks = dwUnknown;
    stDetails.szLabel[0] = 0;
    stDetails.dwDiscType = dwUnknown;
}

void Clear(RKTrayState& stState)
{
    stState.dwOpen = RKDETAILS_UNKNOWN;
    stState.dwMediaPresent = RKDETAILS_UNKNOWN;
    stState.dwReady = RKDETAILS_UNKNOWN;
    stState.dwLocked = RKDETAILS_UNKNOWN;
    stState.dwEvents = 0;
}

// Texts an engine wrote end inside their fields, whatever it did.
void Terminate(RKDriveDetails& stDetails)
{
    stDetails.szVendor[RKDETAILS_VENDOR_CHARS - 1] = 0;
    stDetails.szProduct[RKDETAILS_PRODUCT_CHARS - 1] = 0;
    stDetails.szRevision[RKDETAILS_REVISION_CHARS - 1] = 0;
    stDetails.szSerial[RKDETAILS_SERIAL_CHARS - 1] = 0;
    if (stDetails.dwProfileCount != RKDETAILS_UNKNOWN && stDetails.dwProfileCount > RKDETAILS_MAX_PROFILES)
        stDetails.dwProfileCount = RKDETAILS_MAX_PROFILES;
}

void Terminate(RKDiscDetails& stDetails)
{
    stDetails.szLabel[RKDETAILS_LABEL_CHARS - 1] = 0;
}

void Terminate(RKTrayState&) {}

// The shared path of the record queries: the interface, the size check,
// the record set to "not known", the guarded call.
template <typename TRecord, typename TCall>
int AskEngine(CRKWriter* pWriter, TRecord& stRecord, const unsigned short* szOperation, TCall fnCall)
{
    CRKWriterDetails* pDetails = RKDRV::GetWriterDetails(pWriter);
    if (!pDetails)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("%s: the writer's engine offers no details"), szOperation);
        return 0;
    }
    if (stRecord.cbSize < sizeof(TRecord))
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("%s: record of %d bytes, at least %d needed"), szOperation,
                                        static_cast<int>(stRecord.cbSize), static_cast<int>(sizeof(TRecord)));
        return 0;
    }
    Clear(stRecord);
    try
    {
        int nResult = RKGuardedCall(szOperation, [&] { return fnCall(*pDetails); });
        Terminate(stRecord);
        return nResult ? 1 : 0;
    }
    catch (...)
    {
        // The engine may have written part of the record before it threw.
        Clear(stRecord);
        return 0;
    }
}

template <typename TCall> int ActOnEngine(CRKWriter* pWriter, const unsigned short* szOperation, TCall fnCall)
{
    CRKWriterDetails* pDetails = RKDRV::GetWriterDetails(pWriter);
    if (!pDetails)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("%s: the writer's engine offers no tray control"),
                                        szOperation);
        return 0;
    }
    try
    {
        return RKGuardedCall(szOperation, [&] { return fnCall(*pDetails); }) ? 1 : 0;
    }
    catch (...)
    {
        return 0;
    }
}
} // namespace

namespace RKDRV
{
CRKWriterDetails* GetWriterDetails(CRKWriter* pWriter)
{
    if (!pWriter || !HasTypeInformation(pWriter))
        return nullptr;
    return dynamic_cast<CRKWriterDetails*>(pWriter);
}

int GetDriveDetails(CRKWriter* pWriter, RKDriveDetails& stDetails)
{
    return AskEngine(pWriter, stDetails, RK_TEXT("GetDriveDetails"),
                     [&](CRKWriterDetails& details) { return details.GetDriveDetails(stDetails); });
}

int GetDiscDetails(CRKWriter* pWriter, RKDiscDetails& stDetails)
{
    return AskEngine(pWriter, stDetails, RK_TEXT("GetDiscDetails"),
                     [&](CRKWriterDetails& details) { return details.GetDiscDetails(stDetails); });
}

int GetTrayState(CRKWriter* pWriter, RKTrayState& stState)
{
    return AskEngine(pWriter, stState, RK_TEXT("GetTrayState"),
                     [&](CRKWriterDetails& details) { return details.GetTrayState(stState); });
}

int CloseTray(CRKWriter* pWriter)
{
    return ActOnEngine(pWriter, RK_TEXT("CloseTray"),
                       [&](CRKWriterDetails& details) { return details.CloseTray(); });
}

int LockTray(CRKWriter* pWriter, int bLock)
{
    return ActOnEngine(pWriter, RK_TEXT("LockTray"),
                       [&](CRKWriterDetails& details) { return details.LockTray(bLock); });
}
} // namespace RKDRV
