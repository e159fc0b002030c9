#include "RKScWriter.h"

#include <new>
#include <vector>

#include "RKLog.h"
#include "RKSystemEngine.h"
#include "RKScDriveQuery.h"
#include "RKScMmc.h"
#include "RKScTrace.h"

namespace
{
RKMediaInfo NoMedium()
{
    RKMediaInfo stInfo;
    stInfo.dwMediaType = RKSC_MEDIA_NONE;
    stInfo.dwDiscType = RKSC_DISC_NONE;
    return stInfo;
}
} // namespace

CRKScWriter::CRKScWriter(std::shared_ptr<CRKScTransport> pTransport, const RKScDriveEntry& stEntry,
                         WORD wLetter)
    : m_pTransport(std::move(pTransport)), m_stEntry(stEntry), m_strDeviceText(stEntry.strDevice.c_str())
{
    m_strModelName = m_stEntry.strModel.c_str();
    m_wDriveLetter = wLetter;
    m_dwSupportedMedia = 0;
}

std::unique_ptr<CRKScDevice> CRKScWriter::OpenDevice()
{
    std::string strProblem;
    std::unique_ptr<CRKScDevice> pDevice = m_pTransport->Open(m_stEntry, strProblem);
    if (pDevice)
    {
        m_strOpenProblem.clear();
        return pDevice;
    }
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

void CRKScWriter::Identify()
{
    std::unique_ptr<CRKScDevice> pDevice = OpenDevice();
    if (!pDevice)
        return;
    std::string strModel;
    bool bWhole = RKScQueryModel(*pDevice, m_stEntry.strDevice, strModel, &m_stIdentification);
    if ((!bWhole || strModel.empty()) && !m_stEntry.strModel.empty())
        strModel = m_stEntry.strModel;
    m_strModelName = strModel.c_str();
    std::vector<WORD> vecProfiles;
    if (RKScQueryProfiles(*pDevice, m_stEntry.strDevice, vecProfiles))
        m_dwSupportedMedia = RKScSupportedMediaOfProfiles(vecProfiles);
}

int CRKScWriter::IsMediaIn()
{
    try
    {
        if (!m_pTransport->ProvidesPresence())
            return CRKWriter::IsMediaIn();
        // Quiet on purpose: the waits ask this every poll.
        std::string strProblem;
        std::unique_ptr<CRKScDevice> pDevice = m_pTransport->Open(m_stEntry, strProblem);
        return pDevice && pDevice->GetDriveStatus() == RKSC_STATUS_DISC_OK ? 1 : 0;
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
        std::unique_ptr<CRKScDevice> pDevice = OpenDevice();
        if (!pDevice)
            return NoMedium();
        WORD wProfile = 0;
        RKMediaInfo stInfo = RKScQueryMedia(*pDevice, m_stEntry.strDevice, wProfile);
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

int CRKScWriter::EjectTray()
{
    try
    {
        std::unique_ptr<CRKScDevice> pDevice = OpenDevice();
        if (!pDevice)
            return 0;
        RKScDriveStatus eStatus = pDevice->GetDriveStatus();
        if (eStatus == RKSC_STATUS_UNKNOWN)
            eStatus = RKScQueryDriveStatus(*pDevice);
        const std::string& strDevice = m_stEntry.strDevice;
        if (eStatus == RKSC_STATUS_BECOMING_READY)
        {
            RKScTraceInfo(strDevice +
                          ": the drive is becoming ready (a disc was just inserted): the tray stays closed");
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
