// CRKScWriter's details and tray control.
#include <new>

#include "RKScDetailsQuery.h"
#include "RKScTrace.h"
#include "RKScWriter.h"

namespace
{
std::string Known(DWORD dwValue)
{
    return dwValue == RKDETAILS_UNKNOWN ? std::string("?") : std::to_string(dwValue);
}

// Every entry point keeps the engine's failures inside it.
template <typename TCall> int Guarded(const unsigned short* szWhere, TCall fnCall)
{
    try
    {
        return fnCall();
    }
    catch (const std::bad_alloc&)
    {
        RKScTraceFailure(szWhere, true);
    }
    catch (...)
    {
        RKScTraceFailure(szWhere, false);
    }
    return 0;
}
} // namespace

CRKScWriter::~CRKScWriter()
{
    // Where closing the device would not drop the lock by itself, it is
    // undone here: releasing the manager releases the door.
    if (m_pLockHolder)
    {
        try
        {
            std::string strProblem;
            m_pLockHolder->LockDoor(false, strProblem);
        }
        catch (...)
        {
        }
    }
}

int CRKScWriter::GetDriveDetails(RKDriveDetails& stDetails)
{
    return Guarded(
        RK_TEXT("CRKScWriter::GetDriveDetails"),
        [&]
        {
            std::unique_ptr<CRKScDevice> pDevice = OpenListedDevice();
            if (!pDevice)
                return 0;
            const std::string& strDevice = m_stEntry.strDevice;
            // Listed without access: the identification is read now.
            if (!m_stIdentity.bOk)
            {
                RKScInquiry stInquiry;
                if (RKScQueryInquiry(*pDevice, strDevice, stInquiry))
                {
                    m_stIdentity = stInquiry;
                    m_ullIdentified = m_pTransport->Milliseconds();
                }
                else if (m_stIdentity.strVendor.empty() && m_stIdentity.strProduct.empty())
                    m_stIdentity = stInquiry;
            }
            RKScApplyIdentification(m_stIdentity, stDetails);
            RKScQueryFeatures(*pDevice, strDevice, stDetails);
            if (m_vecCapabilities.empty())
                RKScQueryCapabilities(*pDevice, strDevice, m_vecCapabilities, false);
            RKScApplyCapabilities(RKScParseCapabilities(m_vecCapabilities.data(), m_vecCapabilities.size()),
                                  stDetails);
            if (stDetails.dwMaxReadKbps == RKDETAILS_UNKNOWN || stDetails.dwMaxWriteKbps == RKDETAILS_UNKNOWN)
                RKScQueryWriteSpeeds(*pDevice, strDevice, stDetails);
            if (FoundGone(*pDevice))
                return 0;
            RKScTraceInfo(strDevice + ": drive: profile " + Known(stDetails.dwCurrentProfile) + " of " +
                          Known(stDetails.dwProfileCount) + ", interface " + Known(stDetails.dwInterface) +
                          ", loading " + Known(stDetails.dwLoading) + ", read " +
                          Known(stDetails.dwMaxReadKbps) + " kB/s, write " + Known(stDetails.dwMaxWriteKbps) +
                          " kB/s, buffer " + Known(stDetails.dwBufferKiB) + " KiB");
            return 1;
        });
}

int CRKScWriter::GetDiscDetails(RKDiscDetails& stDetails)
{
    return Guarded(
        RK_TEXT("CRKScWriter::GetDiscDetails"),
        [&]
        {
            std::unique_ptr<CRKScDevice> pDevice = OpenListedDevice();
            if (!pDevice)
                return 0;
            const std::string& strDevice = m_stEntry.strDevice;
            bool bTold = RKScQueryDiscDetails(*pDevice, strDevice, stDetails);
            if (FoundGone(*pDevice))
                return 0;
            if (!bTold)
            {
                RKScTraceError(strDevice + ": the drive's answers do not tell whether a disc is in");
                return 0;
            }
            if (!stDetails.dwDiscPresent)
                RKScTraceInfo(strDevice + ": disc: none");
            else
                RKScTraceInfo(strDevice + ": disc: profile " + Known(stDetails.dwProfile) + ", state " +
                              Known(stDetails.dwDiscState) + ", " + Known(stDetails.dwSessions) +
                              " sessions, tracks " + Known(stDetails.dwFirstTrack) + " to " +
                              Known(stDetails.dwLastTrack) + ", " + Known(stDetails.dwCapacityBlocks) +
                              " blocks of " + Known(stDetails.dwBlockSize) + ", " +
                              Known(stDetails.dwFreeBlocks) + " free");
            return 1;
        });
}

int CRKScWriter::GetTrayState(RKTrayState& stState)
{
    return Guarded(RK_TEXT("CRKScWriter::GetTrayState"),
                   [&]
                   {
                       // Polled: the open checks where the drive is attached,
                       // and no INQUIRY is added to the status commands.
                       if (IsGone())
                           return 0;
                       m_pTransport->ListenForDriveEvents();
                       std::unique_ptr<CRKScDevice> pDevice = OpenDevice();
                       if (!pDevice)
                           return 0;
                       bool bTold = RKScQueryTrayState(*pDevice, stState, m_vecCapabilities);
                       if (FoundGone(*pDevice))
                           return 0;
                       stState.dwEvents |= RKScTrayEventsOf(m_pTransport->TakeDriveEvents(m_stEntry));
                       if (bTold)
                           return 1;
                       RKScTraceError(m_stEntry.strDevice + ": no status command told the tray's state");
                       return 0;
                   });
}

int CRKScWriter::CloseTray()
{
    return Guarded(
        RK_TEXT("CRKScWriter::CloseTray"),
        [&]
        {
            std::unique_ptr<CRKScDevice> pDevice = OpenListedDevice();
            if (!pDevice)
                return 0;
            const std::string& strDevice = m_stEntry.strDevice;
            // A drive that says it has no motorised tray is not asked:
            // systems answer that request in words of their own.
            if (m_vecCapabilities.empty())
                RKScQueryCapabilities(*pDevice, strDevice, m_vecCapabilities, false);
            RKScCapabilities stCaps =
                RKScParseCapabilities(m_vecCapabilities.data(), m_vecCapabilities.size());
            DWORD dwLoading = stCaps.bOk ? RKScLoadingOfType(stCaps.bLoading) : RKDETAILS_UNKNOWN;
            if (dwLoading == RKLOADING_CADDY_OR_SLOT || dwLoading == RKLOADING_POPUP)
            {
                RKScTraceError(strDevice + ": the drive cannot close its tray: it loads discs by " +
                               (dwLoading == RKLOADING_POPUP ? "a pop-up tray" : "a slot or caddy") +
                               ", pushed in by hand");
                return 0;
            }
            std::string strProblem;
            RKScTrayResult eResult = pDevice->CloseTray(strProblem);
            if (FoundGone(*pDevice))
                return 0;
            switch (eResult)
            {
            case RKSC_TRAY_DONE:
                RKScTraceInfo(strDevice + ": tray closed");
                return 1;
            case RKSC_TRAY_UNSUPPORTED:
                RKScTraceError(strDevice + ": the drive cannot close its tray");
                return 0;
            case RKSC_TRAY_BUSY:
                RKScTraceError(strDevice + ": the tray stays open: the drive is in use");
                return 0;
            case RKSC_TRAY_REFUSED:
                RKScTraceError(strDevice + ": the drive refused to close its tray");
                return 0;
            default:
                RKScTraceError(strDevice + ": cannot close the tray: " +
                               (strProblem.empty() ? std::string("the system gave no reason") : strProblem));
                return 0;
            }
        });
}

int CRKScWriter::LockTray(int bLock)
{
    return Guarded(
        RK_TEXT("CRKScWriter::LockTray"),
        [&]
        {
            const std::string& strDevice = m_stEntry.strDevice;
            bool bHold = m_pTransport->LockNeedsDevice();
            if (bLock && m_pLockHolder)
            {
                RKScTraceInfo(strDevice + ": the door is locked already");
                return 1;
            }
            // An unlock goes through the device that holds the lock.
            bool bHeld = !bLock && m_pLockHolder;
            std::unique_ptr<CRKScDevice> pDevice = bHeld ? std::move(m_pLockHolder) : OpenListedDevice();
            if (!pDevice)
                return 0;
            const char* szVerb = bLock ? "lock" : "unlock";
            std::string strProblem;
            RKScTrayResult eResult = pDevice->LockDoor(bLock != 0, strProblem);
            if (FoundGone(*pDevice))
                return 0;
            if (eResult == RKSC_TRAY_DONE)
            {
                RKScTraceInfo(strDevice + (bLock ? ": door locked" : ": door unlocked") +
                              (bLock && bHold ? " while the engine holds the drive" : ""));
                if (bLock && bHold)
                    m_pLockHolder = std::move(pDevice);
                return 1;
            }
            // A failed unlock leaves the lock, and what holds it, as it was.
            if (bHeld)
                m_pLockHolder = std::move(pDevice);
            switch (eResult)
            {
            case RKSC_TRAY_BUSY:
                RKScTraceError(strDevice + ": cannot " + szVerb +
                               " the door: the drive is in use (another program holds it open)");
                break;
            case RKSC_TRAY_UNSUPPORTED:
                RKScTraceError(strDevice + ": the drive has no door lock");
                break;
            case RKSC_TRAY_REFUSED:
                RKScTraceError(strDevice + ": the drive refused to " + szVerb + " its door");
                break;
            default:
                RKScTraceError(strDevice + ": cannot " + szVerb + " the door: " +
                               (strProblem.empty() ? std::string("the system gave no reason") : strProblem));
                break;
            }
            return 0;
        });
}
