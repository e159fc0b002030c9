// The guest's agent protocol and the monitor's disc commands.
#include "RKGuest.h"

#include <sstream>

namespace
{
const char s_szBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const std::string& strData)
{
    std::string strOut;
    unsigned uBits = 0;
    int nCount = 0;
    for (unsigned char c : strData)
    {
        uBits = (uBits << 8) | c;
        nCount += 8;
        while (nCount >= 6)
        {
            nCount -= 6;
            strOut += s_szBase64[(uBits >> nCount) & 0x3F];
        }
    }
    if (nCount > 0)
        strOut += s_szBase64[(uBits << (6 - nCount)) & 0x3F];
    while (strOut.size() % 4)
        strOut += '=';
    return strOut;
}

std::string Base64Decode(const std::string& strText)
{
    std::string strOut;
    unsigned uBits = 0;
    int nCount = 0;
    for (char c : strText)
    {
        const char* pFound = c ? std::char_traits<char>::find(s_szBase64, 64, c) : nullptr;
        if (!pFound)
            continue;
        uBits = (uBits << 6) | static_cast<unsigned>(pFound - s_szBase64);
        nCount += 6;
        if (nCount >= 8)
        {
            nCount -= 8;
            strOut += static_cast<char>((uBits >> nCount) & 0xFF);
        }
    }
    return strOut;
}

std::string ShellQuote(const std::string& strWord)
{
    std::string strOut = "'";
    for (char c : strWord)
        strOut += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return strOut + "'";
}
} // namespace

std::string CRKGuest::Script(const RKGuestCommand& stCommand) const
{
    std::ostringstream ossScript;
    ossScript << "cd /tmp\nexec timeout -s KILL " << stCommand.nSeconds << " ";
    if (stCommand.eUser != RKGUEST_ROOT)
    {
        unsigned uUid = UserUid(stCommand.eUser);
        ossScript << "setpriv --reuid=" << uUid << " --regid=" << uUid << " "
                  << (stCommand.eUser == RKGUEST_CDROM_USER ? "--groups=" + std::to_string(CdromGid())
                                                            : std::string("--clear-groups"))
                  << " -- ";
    }
    ossScript << "env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/tmp LANG=C.UTF-8";
    for (const auto& prVariable : stCommand.vecEnv)
        ossScript << " " << ShellQuote(prVariable.first + "=" + prVariable.second);
    for (const std::string& strArg : stCommand.vecArgs)
        ossScript << " " << ShellQuote(strArg);
    ossScript << "\n";
    return ossScript.str();
}

int CRKGuest::Start(const RKGuestCommand& stCommand)
{
    int nId = ++m_nNextId;
    m_mapPending[nId];
    if (!m_Agent.WriteLine("RUN " + std::to_string(nId) + " " + Base64Encode(Script(stCommand))))
        m_mapPending[nId].bDone = true;
    return nId;
}

bool CRKGuest::ReadAnswer(RKClock::time_point tpDeadline)
{
    std::string strLine;
    if (!m_Agent.ReadLine(strLine, tpDeadline))
        return false;
    std::istringstream issLine(strLine);
    std::string strKind, strData;
    int nId = 0;
    issLine >> strKind >> nId >> strData;
    auto it = m_mapPending.find(nId);
    if (it == m_mapPending.end())
        return true;
    if (strKind == "RKOUT")
        it->second.strOut += Base64Decode(strData);
    else if (strKind == "RKERR")
        it->second.strErr += Base64Decode(strData);
    else if (strKind == "RKEND")
    {
        it->second.nStatus = std::stoi(strData);
        it->second.bDone = true;
    }
    return true;
}

RKGuestResult CRKGuest::Collect(int nId, int nSeconds)
{
    RKGuestResult stResult;
    auto it = m_mapPending.find(nId);
    if (it == m_mapPending.end())
    {
        stResult.strError = "no command " + std::to_string(nId) + " was started";
        return stResult;
    }
    RKClock::time_point tpDeadline = RKClock::now() + std::chrono::seconds(nSeconds);
    while (!it->second.bDone && ReadAnswer(tpDeadline))
    {
    }
    stResult.strOut = it->second.strOut;
    stResult.strErr = it->second.strErr;
    stResult.nStatus = it->second.nStatus;
    if (!it->second.bDone)
        stResult.strError = m_Agent.IsOpen() ? "no answer within " + std::to_string(nSeconds) + " s"
                                             : "the guest's agent is gone\n" + ConsoleTail();
    else if (stResult.nStatus < 0)
        stResult.strError = "the guest's agent is gone\n" + ConsoleTail();
    m_mapPending.erase(it);
    return stResult;
}

RKGuestResult CRKGuest::Run(const RKGuestCommand& stCommand)
{
    // The guest's own limit comes first; the margin covers the answer.
    return Collect(Start(stCommand), stCommand.nSeconds + 30);
}

RKGuestResult CRKGuest::RunShell(const std::string& strScript, int nSeconds)
{
    RKGuestCommand stCommand;
    stCommand.vecArgs = {"/bin/sh", "-c", strScript};
    stCommand.nSeconds = nSeconds;
    return Run(stCommand);
}

bool CRKGuest::Monitor(const std::string& strCommand, const nlohmann::json& jsArguments,
                       nlohmann::json& jsReturn)
{
    std::string strWhy;
    if (m_Qmp.Execute(strCommand, jsArguments, jsReturn, strWhy))
        return true;
    m_strError = strWhy;
    return false;
}

bool CRKGuest::ChangeMedium(const std::string& strId, const std::string& strImage)
{
    nlohmann::json jsReturn;
    return Monitor(
        "blockdev-change-medium",
        {{"id", strId}, {"filename", strImage}, {"format", "raw"}, {"read-only-mode", "read-only"}},
        jsReturn);
}

bool CRKGuest::OpenTray(const std::string& strId)
{
    nlohmann::json jsReturn;
    return Monitor("blockdev-open-tray", {{"id", strId}, {"force", true}}, jsReturn);
}

bool CRKGuest::CloseTray(const std::string& strId)
{
    nlohmann::json jsReturn;
    return Monitor("blockdev-close-tray", {{"id", strId}}, jsReturn);
}

bool CRKGuest::RemoveMedium(const std::string& strId, bool bCloseTray)
{
    nlohmann::json jsReturn;
    if (!OpenTray(strId) || !Monitor("blockdev-remove-medium", {{"id", strId}}, jsReturn))
        return false;
    return !bCloseTray || CloseTray(strId);
}

bool CRKGuest::IsTrayOpen(const std::string& strId, bool& bOpen)
{
    nlohmann::json jsReturn;
    if (!Monitor("query-block", nlohmann::json::object(), jsReturn))
        return false;
    for (const nlohmann::json& jsDevice : jsReturn)
    {
        if (jsDevice.value("qdev", "") == strId && jsDevice.contains("tray_open"))
        {
            bOpen = jsDevice["tray_open"].get<bool>();
            return true;
        }
    }
    m_strError = "query-block: no drive " + strId + " with a tray";
    return false;
}

bool CRKGuest::AddMedium(const std::string& strId, const std::string& strImage, nlohmann::json& jsDevice)
{
    if (strImage.empty())
        return true;
    nlohmann::json jsReturn;
    std::string strNode = "m-" + strId;
    if (!Monitor("blockdev-add",
                 {{"node-name", strNode},
                  {"driver", "raw"},
                  {"read-only", true},
                  {"file", {{"driver", "file"}, {"filename", strImage}}}},
                 jsReturn))
        return false;
    jsDevice["drive"] = strNode;
    return true;
}

bool CRKGuest::IsLocked(const std::string& strId, bool& bLocked)
{
    nlohmann::json jsReturn;
    if (!Monitor("query-block", nlohmann::json::object(), jsReturn))
        return false;
    for (const nlohmann::json& jsDevice : jsReturn)
    {
        if (jsDevice.value("qdev", "") == strId && jsDevice.contains("locked"))
        {
            bLocked = jsDevice["locked"].get<bool>();
            return true;
        }
    }
    m_strError = "query-block: no drive " + strId + " with a lock";
    return false;
}

bool CRKGuest::HotAddDrive(const std::string& strId, const std::string& strImage)
{
    nlohmann::json jsReturn;
    nlohmann::json jsDevice = {
        {"driver", "scsi-cd"}, {"bus", "scsi0.0"}, {"scsi-id", m_nScsiTargets}, {"lun", 0}, {"id", strId}};
    if (!AddMedium(strId, strImage, jsDevice) || !Monitor("device_add", jsDevice, jsReturn))
        return false;
    ++m_nScsiTargets;
    return true;
}

bool CRKGuest::PlugUsbDrive(const std::string& strId, const std::string& strPort, const std::string& strImage,
                            const std::string& strVendor, const std::string& strProduct)
{
    nlohmann::json jsReturn;
    std::string strBot = "usb-" + strId;
    nlohmann::json jsDrive = {{"driver", "scsi-cd"},
                              {"bus", strBot + ".0"},
                              {"id", strId},
                              {"vendor", strVendor},
                              {"product", strProduct}};
    // A mass storage device added while the machine runs stays detached
    // until its drive is on its bus and it is attached by hand.
    return AddMedium(strId, strImage, jsDrive) &&
           Monitor("device_add",
                   {{"driver", "usb-bot"}, {"id", strBot}, {"bus", "xhci.0"}, {"port", strPort}}, jsReturn) &&
           Monitor("device_add", jsDrive, jsReturn) &&
           Monitor("qom-set",
                   {{"path", "/machine/peripheral/" + strBot}, {"property", "attached"}, {"value", true}},
                   jsReturn);
}

bool CRKGuest::UnplugUsbDrive(const std::string& strId)
{
    nlohmann::json jsReturn;
    return Monitor("device_del", {{"id", "usb-" + strId}}, jsReturn);
}
