// The disc's details: what is on it, how much it holds and its label.
#include <vector>

#include "RKSystemEngine.h"
#include "RKScDetailsQuery.h"

static_assert(RKSC_DISC_BLANK == RKDISC_STATE_BLANK && RKSC_DISC_APPENDABLE == RKDISC_STATE_APPENDABLE &&
                  RKSC_DISC_COMPLETE == RKDISC_STATE_COMPLETE && RKSC_DISC_OTHER == RKDISC_STATE_OTHER,
              "the engine's disc states are the library's");

namespace
{
// Disc status values of READ DISC INFORMATION.
const std::uint8_t RKSC_STATUS_BLANK = 0;
const std::uint8_t RKSC_STATUS_INCOMPLETE = 1;
const std::uint8_t RKSC_STATUS_COMPLETE = 2;

// Media written in place rather than track after track: their blank state
// means unformatted, and their capacity is what formatting gives.
bool IsOverwritable(DWORD dwProfile)
{
    return dwProfile == 0x12 || dwProfile == 0x13 || dwProfile == 0x1A || dwProfile == 0x2A ||
           dwProfile == 0x43;
}

class CRKScDiscQuery
{
public:
    CRKScDiscQuery(CRKScDevice& device, const std::string& strDevice, RKDiscDetails& stDetails)
        : m_device(device), m_strDevice(strDevice), m_stDetails(stDetails)
    {
    }

    bool Run()
    {
        if (!ReadProfile() || !ReadLayout())
            return m_bAnswered;
        if (!m_bLayout || m_stLayout.bDiscStatus != RKSC_STATUS_BLANK)
            ReadToc();
        else
        {
            // A blank disc has no track yet.
            m_stDetails.dwAudioTracks = 0;
            m_stDetails.dwDataTracks = 0;
        }
        ReadCapacity();
        ReadLabel();
        return true;
    }

private:
    // False when the drive said it holds no medium (m_bAnswered) or its
    // answer could not be used.
    bool ReadProfile()
    {
        std::uint8_t abConfig[RKSC_CURRENT_PROFILE_READ] = {};
        RKScReply stReply =
            RKScSend(m_device, RKScGetConfigurationCdb(RKSC_RT_ONE, 0, RKSC_CURRENT_PROFILE_READ), abConfig,
                     sizeof(abConfig));
        if (NoMedium(stReply))
            return false;
        if (stReply.eStatus != RKSC_COMMAND_GOOD)
        {
            RKScTraceReply(m_strDevice, "GET CONFIGURATION", stReply);
            return true;
        }
        RKScConfiguration stConfig = RKScParseConfiguration(abConfig, stReply.nTransferred);
        if (!stConfig.bHeader)
        {
            RKScTraceProblem(m_strDevice, "GET CONFIGURATION", stConfig.strProblem);
            return true;
        }
        if (stConfig.wCurrentProfile == 0)
        {
            Empty();
            return false;
        }
        m_bProfile = true;
        m_stDetails.dwProfile = stConfig.wCurrentProfile;
        m_stDetails.dwMediaType = RKScMediaOfProfile(stConfig.wCurrentProfile);
        return true;
    }

    bool ReadLayout()
    {
        std::uint8_t abDisc[RKSC_DISC_INFO_READ] = {};
        RKScReply stReply =
            RKScSend(m_device, RKScReadDiscInformationCdb(RKSC_DISC_INFO_READ), abDisc, sizeof(abDisc));
        // Taken out between the two commands.
        if (NoMedium(stReply))
            return false;
        if (stReply.eStatus != RKSC_COMMAND_GOOD)
            RKScTraceReply(m_strDevice, "READ DISC INFORMATION", stReply);
        else
        {
            m_stLayout = RKScParseDiscLayout(abDisc, stReply.nTransferred);
            RKScTraceProblem(m_strDevice, "READ DISC INFORMATION", m_stLayout.strProblem);
            m_bLayout = m_stLayout.bOk;
        }
        if (!m_bProfile && !m_bLayout)
            return false;
        m_bAnswered = true;
        m_stDetails.dwDiscPresent = 1;
        // As GetMediaInfo reports it.
        m_stDetails.dwDiscType = m_bLayout ? RKScDiscStateOfStatus(m_stLayout.bDiscStatus) : RKSC_DISC_OTHER;
        if (!m_bLayout)
            return true;
        m_stDetails.dwDiscState = RKScDiscStateOfStatus(m_stLayout.bDiscStatus);
        m_stDetails.dwErasable = m_stLayout.bErasable ? 1 : 0;
        m_stDetails.dwLastSessionState = m_stLayout.bLastSession;
        if (m_stLayout.bCounts)
        {
            m_stDetails.dwSessions = m_stLayout.dwSessions;
            if (m_stLayout.bDiscStatus != RKSC_STATUS_BLANK)
            {
                m_stDetails.dwFirstTrack = m_stLayout.dwFirstTrack;
                m_stDetails.dwLastTrack = m_stLayout.dwLastTrackLastSession;
            }
        }
        return true;
    }

    void ReadToc()
    {
        std::vector<std::uint8_t> vecToc(RKSC_TRACKS_READ);
        RKScReply stReply =
            RKScSend(m_device, RKScReadTocCdb(RKSC_TOC_TRACKS, RKSC_TRACKS_READ), vecToc.data(), vecToc.size());
        if (stReply.eStatus != RKSC_COMMAND_GOOD)
        {
            RKScTraceReply(m_strDevice, "READ TOC", stReply);
            return;
        }
        m_stToc = RKScParseToc(vecToc.data(), stReply.nTransferred);
        RKScTraceProblem(m_strDevice, "READ TOC", m_stToc.strProblem);
        if (!m_stToc.bWhole)
            return;
        m_bToc = true;
        // The table lists the recorded tracks: an open disc's next track is
        // not one of them.
        DWORD dwAudio = 0;
        DWORD dwData = 0;
        for (const RKScTocTrack& stTrack : m_stToc.vecTracks)
        {
            if (stTrack.bTrack >= m_stToc.bFirstTrack && stTrack.bTrack <= m_stToc.bLastTrack)
                ++(stTrack.bData ? dwData : dwAudio);
        }
        m_stDetails.dwFirstTrack = m_stToc.bFirstTrack;
        m_stDetails.dwLastTrack = m_stToc.bLastTrack;
        m_stDetails.dwAudioTracks = dwAudio;
        m_stDetails.dwDataTracks = dwData;
    }

    void ReadCapacity()
    {
        if (!m_bLayout)
        {
            ReadRecordedCapacity();
            return;
        }
        switch (m_stLayout.bDiscStatus)
        {
        case RKSC_STATUS_BLANK:
            if (IsOverwritable(m_stDetails.dwProfile))
                ReadFormattableCapacity();
            else
                ReadNextTrack(true);
            break;
        case RKSC_STATUS_INCOMPLETE:
            ReadRecordedCapacity();
            ReadNextTrack(false);
            break;
        case RKSC_STATUS_COMPLETE:
            ReadRecordedCapacity();
            m_stDetails.dwFreeBlocks = 0;
            break;
        default:
            ReadRecordedCapacity();
            break;
        }
    }

    void ReadRecordedCapacity()
    {
        std::uint8_t abCapacity[RKSC_CAPACITY_READ] = {};
        RKScReply stReply = RKScSend(m_device, RKScReadCapacityCdb(), abCapacity, sizeof(abCapacity));
        if (stReply.eStatus != RKSC_COMMAND_GOOD)
        {
            RKScTraceReply(m_strDevice, "READ CAPACITY", stReply);
            return;
        }
        RKScCapacity stCapacity = RKScParseCapacity(abCapacity, stReply.nTransferred);
        RKScTraceProblem(m_strDevice, "READ CAPACITY", stCapacity.strProblem);
        m_stDetails.dwCapacityBlocks = stCapacity.dwBlocks;
        m_stDetails.dwBlockSize = stCapacity.dwBlockLength;
    }

    // Where the next data goes, and how much fits there. On a blank disc
    // that is the whole recordable capacity.
    void ReadNextTrack(bool bBlank)
    {
        std::uint8_t abTrack[RKSC_TRACK_INFO_READ] = {};
        RKScReply stReply =
            RKScSend(m_device, RKScReadTrackInformationCdb(RKSC_INVISIBLE_TRACK, RKSC_TRACK_INFO_READ),
                     abTrack, sizeof(abTrack));
        if (stReply.eStatus != RKSC_COMMAND_GOOD)
        {
            RKScTraceReply(m_strDevice, "READ TRACK INFORMATION", stReply);
            return;
        }
        RKScTrackInfo stTrack = RKScParseTrackInfo(abTrack, stReply.nTransferred);
        RKScTraceProblem(m_strDevice, "READ TRACK INFORMATION", stTrack.strProblem);
        if (!stTrack.bOk)
            return;
        m_stDetails.dwFreeBlocks = stTrack.dwFreeBlocks;
        if (bBlank && stTrack.dwStart <= RKSC_UNKNOWN - 1 - stTrack.dwFreeBlocks)
        {
            m_stDetails.dwCapacityBlocks = stTrack.dwStart + stTrack.dwFreeBlocks;
            // Recordable media are written in blocks of 2048 bytes of data.
            m_stDetails.dwBlockSize = RKSC_DATA_BLOCK;
        }
    }

    void ReadFormattableCapacity()
    {
        std::uint8_t abCapacity[RKSC_FORMAT_CAPACITIES_READ] = {};
        RKScReply stReply = RKScSend(m_device, RKScReadFormatCapacitiesCdb(RKSC_FORMAT_CAPACITIES_READ),
                                     abCapacity, sizeof(abCapacity));
        if (stReply.eStatus != RKSC_COMMAND_GOOD)
        {
            RKScTraceReply(m_strDevice, "READ FORMAT CAPACITIES", stReply);
            return;
        }
        RKScFormatCapacity stCapacity = RKScParseFormatCapacity(abCapacity, stReply.nTransferred);
        RKScTraceProblem(m_strDevice, "READ FORMAT CAPACITIES", stCapacity.strProblem);
        if (!stCapacity.bOk || stCapacity.bType == RKSC_FORMAT_NO_MEDIUM || stCapacity.bType == 0)
            return;
        m_stDetails.dwCapacityBlocks = stCapacity.dwBlocks;
        m_stDetails.dwBlockSize = stCapacity.dwBlockLength ? stCapacity.dwBlockLength : RKSC_UNKNOWN;
        m_stDetails.dwFreeBlocks = stCapacity.dwBlocks;
    }

    // The volume descriptors of the last session's file system follow the
    // start of its first track. An open disc's last session has no track
    // in the table yet: the last recorded track stands for the session
    // before it, which on data discs holds one track.
    const RKScTocTrack* LabelTrack() const
    {
        if (m_stToc.vecTracks.empty())
            return nullptr;
        if (!m_bLayout || !m_stLayout.bCounts)
            return &m_stToc.vecTracks.front();
        const RKScTocTrack* pLast = &m_stToc.vecTracks.front();
        for (const RKScTocTrack& stTrack : m_stToc.vecTracks)
        {
            if (stTrack.bTrack == m_stLayout.dwFirstTrackLastSession)
                return &stTrack;
            if (stTrack.bTrack > pLast->bTrack)
                pLast = &stTrack;
        }
        return pLast;
    }

    void ReadLabel()
    {
        const RKScTocTrack* pTrack = m_bToc ? LabelTrack() : nullptr;
        if (!pTrack || !pTrack->bData || pTrack->dwStart > RKSC_UNKNOWN - RKSC_VOLUME_DESCRIPTOR_BLOCK)
            return;
        DWORD dwBlock = pTrack->dwStart + RKSC_VOLUME_DESCRIPTOR_BLOCK;
        if (m_stDetails.dwCapacityBlocks != RKSC_UNKNOWN && dwBlock >= m_stDetails.dwCapacityBlocks)
            return;
        std::vector<std::uint8_t> vecBlock(RKSC_DATA_BLOCK);
        RKScReply stReply = RKScSend(m_device, RKScRead10Cdb(dwBlock, 1), vecBlock.data(), vecBlock.size());
        if (stReply.eStatus != RKSC_COMMAND_GOOD)
        {
            RKScTraceReply(m_strDevice, "READ (10)", stReply);
            return;
        }
        RKScVolume stVolume = RKScParsePrimaryVolume(vecBlock.data(), stReply.nTransferred);
        RKScTraceProblem(m_strDevice, "READ (10)", stVolume.strProblem);
        if (stVolume.bOk)
            RKScPutText(m_stDetails.szLabel, RKDETAILS_LABEL_CHARS, stVolume.strLabel);
    }

    bool NoMedium(const RKScReply& stReply)
    {
        if (stReply.eStatus != RKSC_COMMAND_CHECK_CONDITION || !RKScSenseNoMedium(stReply.stSense))
            return false;
        Empty();
        return true;
    }

    void Empty()
    {
        m_bAnswered = true;
        m_stDetails.dwDiscPresent = 0;
        m_stDetails.dwProfile = RKSC_UNKNOWN;
        m_stDetails.dwMediaType = RKSC_UNKNOWN;
    }

    CRKScDevice& m_device;
    const std::string& m_strDevice;
    RKDiscDetails& m_stDetails;
    bool m_bAnswered = false;
    bool m_bProfile = false;
    bool m_bLayout = false;
    bool m_bToc = false;
    RKScDiscLayout m_stLayout = {};
    RKScToc m_stToc = {};
};
} // namespace

bool RKScQueryDiscDetails(CRKScDevice& device, const std::string& strDevice, RKDiscDetails& stDetails)
{
    return CRKScDiscQuery(device, strDevice, stDetails).Run();
}
