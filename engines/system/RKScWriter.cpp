#include "RKScWriter.h"

#include <new>
#include <vector>

#include "RKLog.h"
#include "RKSystemEngine.h"
#include "RKScDriveQuery.h"
#include "RKScTrace.h"

namespace
{
const std::uint64_t RKSC_NO_TIME = ~0ull;
// How long after IsMediaIn found a drive empty a ready medium counts as one
// that went in since: a wait calls EjectTray at once after it, and a drive
// made ready within this time by QEMU or a fast drive was empty at the check.
const std::uint64_t RKSC_FOUND_EMPTY_MS = 3000;
// How long a drive that answered as the listed one is taken to be it: no
// drive is unplugged and another plugged in at the same place within a
// second, and the operations of one request (a listing, then the drive's
// and the disc's details) then ask INQUIRY once.
const std::uint64_t RKSC_IDENTITY_FRESH_MS = 1000;

RKMediaInfo NoMedium()
{
    RKMediaInfo stInfo;
    stInfo.dwMediaType = RKSC_MEDIA_NONE;
    stInfo.dwDiscType = RKSC_DISC_NONE;
    return stInfo;
}

std::string IdentityText(const RKScInquiry& stInquiry)
{
    std::string strText = RKScModelOfInquiry(stInquiry);
    if (!stInquiry.strRevision.empty())
        strText += (strText.empty() ? "" : " ") + stInquiry.strRevision;
    return strText;
}
} // namespace

CRKScWriter::CRKScWriter(std::shared_ptr<CRKScTransport> pTransport, const RKScDriveEntry& stEntry,
                         WORD wLetter)
    : m_pTransport(std::move(pTransport)), m_stEntry(stEntry), m_strDeviceText(stEntry.strDevice.c_str()),
      m_stIdentity(RKScParseInquiry(nullptr, 0)), m_stRemovable(), m_ullFoundEmpty(RKSC_NO_TIME),
      m_ullIdentified(RKSC_NO_TIME)
{
    m_strModelName = m_stEntry.strModel.c_str();
    m_wDriveLetter = wLetter;
    m_dwSupportedMedia = 0;
}

void CRKScWriter::MarkGone(const std::string& strWhy)
{
    if (IsGone())
        return;
    m_strGone = RKScIsGoneProblem(strWhy) ? strWhy.substr(sizeof(RKSC_GONE_TEXT) - 1) : strWhy;
    if (m_strGone.empty())
        m_strGone = "the system gave no reason";
    RKScTraceError(m_stEntry.strDevice + ": " + RKSC_GONE_TEXT + m_strGone);
}

bool CRKScWriter::FoundGone(CRKScDevice& device)
{
    if (!device.m_strGone.empty())
        MarkGone(device.m_strGone);
    return IsGone();
}

std::unique_ptr<CRKScDevice> CRKScWriter::OpenDevice(bool bQuiet)
{
    std::string strProblem;
    std::unique_ptr<CRKScDevice> pDevice = m_pTransport->Open(m_stEntry, strProblem);
    if (pDevice)
    {
        m_strOpenProblem.clear();
        return pDevice;
    }
    if (RKScIsGoneProblem(strProblem))
    {
        MarkGone(strProblem);
        return nullptr;
    }
    if (bQuiet)
        return nullptr;
    if (strProblem.empty())
        strProblem = "the system gave no reason";
    std::string strLine = m_stEntry.strDevice + ": cannot open: " + strProblem;
    if (strProblem == m_strOpenProblem)
        RKScTraceInfo(strLine);
    else
        RKScTraceError(strLine);
    m_strOpenProblem = strProblem;
    return nullptr;
}

std::unique_ptr<CRKScDevice> CRKScWriter::OpenListedDevice()
{
    if (IsGone())
        return nullptr;
    std::unique_ptr<CRKScDevice> pDevice = OpenDevice();
    if (!pDevice || !CheckIdentity(*pDevice))
        return nullptr;
    return pDevice;
}

bool CRKScWriter::CheckIdentity(CRKScDevice& device)
{
    if (!m_stIdentity.bOk)
        return true;
    std::uint64_t ullNow = m_pTransport->Milliseconds();
    if (m_ullIdentified != RKSC_NO_TIME && ullNow - m_ullIdentified < RKSC_IDENTITY_FRESH_MS)
        return true;
    // Quiet: where the transport keeps no presence, every poll asks this.
    std::uint8_t abData[RKSC_INQUIRY_READ] = {};
    RKScReply stReply = RKScSend(device, RKScInquiryCdb(RKSC_INQUIRY_READ), abData, sizeof(abData));
    if (FoundGone(device))
        return false;
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
        return true;
    RKScInquiry stNow = RKScParseInquiry(abData, stReply.nTransferred);
    if (!stNow.bOk)
        return true;
    if (stNow.strVendor == m_stIdentity.strVendor && stNow.strProduct == m_stIdentity.strProduct &&
        stNow.strRevision == m_stIdentity.strRevision)
    {
        m_ullIdentified = ullNow;
        return true;
    }
    MarkGone("it answers as \"" + IdentityText(stNow) + "\", not \"" + IdentityText(m_stIdentity) + "\"");
    return false;
}

void CRKScWriter::Identify()
{
    std::unique_ptr<CRKScDevice> pDevice = OpenDevice();
    if (!pDevice)
        return;
    RKScInquiry stInquiry;
    bool bWhole = RKScQueryInquiry(*pDevice, m_stEntry.strDevice, stInquiry);
    std::string strModel = RKScModelOfInquiry(stInquiry);
    if ((!bWhole || strModel.empty()) && !m_stEntry.strModel.empty())
        strModel = m_stEntry.strModel;
    m_strModelName = strModel.c_str();
    if (bWhole)
    {
        m_stIdentity = stInquiry;
        m_ullIdentified = m_pTransport->Milliseconds();
    }
    if (RKScQueryProfiles(*pDevice, m_stEntry.strDevice, m_vecProfiles))
        m_dwSupportedMedia = RKScSupportedMediaOfProfiles(m_vecProfiles);
    FoundGone(*pDevice);
}

int CRKScWriter::NoteMediaIn(int nMediaIn)
{
    if (nMediaIn)
    {
        m_bEmptySaid = false;
        m_ullFoundEmpty = RKSC_NO_TIME;
    }
    else
        m_ullFoundEmpty = m_pTransport->Milliseconds();
    return nMediaIn;
}

int CRKScWriter::IsMediaIn()
{
    try
    {
        if (IsGone())
            return 0;
        if (!m_pTransport->ProvidesPresence())
        {
            // The library's test goes by the letter, which another drive
            // may have taken since the listing.
            if (m_stIdentity.bOk)
            {
                std::unique_ptr<CRKScDevice> pDevice = OpenDevice(true);
                if ((pDevice && !CheckIdentity(*pDevice)) || IsGone())
                    return 0;
            }
            return NoteMediaIn(CRKWriter::IsMediaIn());
        }
        // Quiet on purpose: the waits ask this every poll.
        std::unique_ptr<CRKScDevice> pDevice = OpenDevice(true);
        if (!pDevice)
            return 0;
        RKScDriveStatus eStatus = pDevice->GetDriveStatus();
        if (FoundGone(*pDevice))
            return 0;
        return NoteMediaIn(eStatus == RKSC_STATUS_DISC_OK ? 1 : 0);
    }
    catch (const std::bad_alloc&)
    {
        RKScTraceFailure(RK_TEXT("CRKScWriter::IsMediaIn"), true);
    }
    catch (...)
    {
        RKScTraceFailure(RK_TEXT("CRKScWriter::IsMediaIn"), false);
    }
    return 0;
}

RKMediaInfo CRKScWriter::GetMediaInfo()
{
    try
    {
        if (IsGone())
            return NoMedium();
        std::unique_ptr<CRKScDevice> pDevice = OpenDevice();
        if (!pDevice || !CheckIdentity(*pDevice))
            return NoMedium();
        WORD wProfile = 0;
        RKMediaInfo stInfo = RKScQueryMedia(*pDevice, m_stEntry.strDevice, wProfile);
        if (FoundGone(*pDevice))
            return NoMedium();
        m_wCurrentProfile = wProfile;
        if (stInfo.dwMediaType != RKSC_MEDIA_NONE)
        {
            m_bEmptySaid = false;
            m_ullFoundEmpty = RKSC_NO_TIME;
        }
        CRKLog::GetInstance()->AddInfo(RK_TEXT("%s: current profile 0x%x, media 0x%x, disc state %d"),
                                       m_strDeviceText.GetText(), static_cast<unsigned int>(wProfile),
                                       static_cast<unsigned int>(stInfo.dwMediaType),
                                       static_cast<int>(stInfo.dwDiscType));
        return stInfo;
    }
    catch (const std::bad_alloc&)
    {
        RKScTraceFailure(RK_TEXT("CRKScWriter::GetMediaInfo"), true);
    }
    catch (...)
    {
        RKScTraceFailure(RK_TEXT("CRKScWriter::GetMediaInfo"), false);
    }
    return NoMedium();
}

const RKScRemovableMedium& CRKScWriter::RemovableMedium(CRKScDevice& device)
{
    if (!m_bRemovableRead)
    {
        m_stRemovable = RKScQueryRemovableMedium(device);
        // A drive that did not answer is asked again next time.
        m_bRemovableRead = device.m_strGone.empty() && !device.m_bUnanswered;
    }
    return m_stRemovable;
}

void CRKScWriter::SayEmptyWithoutTray()
{
    if (m_bEmptySaid)
        return;
    m_bEmptySaid = true;
    RKScTraceInfo(m_stEntry.strDevice +
                  ": no disc in the drive, and no tray to open (a slot or caddy drive)");
}

int CRKScWriter::EjectTray()
{
    try
    {
        if (IsGone())
            return 0;
        std::unique_ptr<CRKScDevice> pDevice = OpenDevice();
        if (!pDevice || !CheckIdentity(*pDevice))
            return 0;
        const std::string& strDevice = m_stEntry.strDevice;
        // The guard. A wait opens the tray of a drive IsMediaIn has just
        // found empty, and a disc pushed in just before must stay in: the
        // tray stays closed while the drive reports a medium it is still
        // bringing up (sense 2/04/xx while loading, or a medium in its media
        // event while TEST UNIT READY says not ready), and when a ready
        // medium is in although IsMediaIn found none moments before. A drive
        // that reports no medium has its tray opened, and so has one with a
        // ready disc that nobody found empty just now.
        std::uint64_t ullFoundEmpty = m_ullFoundEmpty;
        m_ullFoundEmpty = RKSC_NO_TIME;
        bool bJustEmpty = ullFoundEmpty != RKSC_NO_TIME &&
                          m_pTransport->Milliseconds() - ullFoundEmpty <= RKSC_FOUND_EMPTY_MS;
        RKScMediumState eState = RKScQueryMediumState(*pDevice, pDevice->GetDriveStatus());
        if (FoundGone(*pDevice))
            return 0;
        if (eState == RKSC_MEDIUM_BUSY || (eState == RKSC_MEDIUM_READY && bJustEmpty))
        {
            RKScTraceInfo(strDevice +
                          ": the drive is becoming ready (a disc was just inserted): the tray stays closed");
            return 0;
        }
        if (eState != RKSC_MEDIUM_NONE)
            m_bEmptySaid = false;
        else if (RemovableMedium(*pDevice).bOk && !RKScHasTray(RemovableMedium(*pDevice)))
        {
            SayEmptyWithoutTray();
            return 0;
        }
        std::string strProblem;
        switch (pDevice->Eject(strProblem))
        {
        case RKSC_EJECT_DONE:
            RKScTraceInfo(strDevice + ": tray opened");
            return 1;
        case RKSC_EJECT_BUSY:
            RKScTraceError(strDevice +
                           ": the tray stays closed: the drive is in use (mounted or opened by another "
                           "program) or its tray is locked");
            return 0;
        case RKSC_EJECT_NO_TRAY:
            RKScTraceError(strDevice + ": the drive has no tray it can open");
            return 0;
        case RKSC_EJECT_EMPTY:
            SayEmptyWithoutTray();
            return 0;
        case RKSC_EJECT_GONE:
            MarkGone(strProblem);
            return 0;
        default:
            RKScTraceError(strDevice + ": cannot open the tray: " +
                           (strProblem.empty() ? std::string("the system gave no reason") : strProblem));
            return 0;
        }
    }
    catch (const std::bad_alloc&)
    {
        RKScTraceFailure(RK_TEXT("CRKScWriter::EjectTray"), true);
    }
    catch (...)
    {
        RKScTraceFailure(RK_TEXT("CRKScWriter::EjectTray"), false);
    }
    return 0;
}
