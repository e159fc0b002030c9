// The guest machine as a host process. Only POSIX calls belong here.
#include "RKGuest.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <thread>

namespace
{
const int s_nBootSeconds = 120;

std::string EnvironmentOr(const char* szName, const char* szDefault)
{
    const char* szValue = std::getenv(szName);
    return szValue && *szValue ? szValue : szDefault;
}

bool FileExists(const std::string& strPath)
{
    struct stat stInfo;
    return stat(strPath.c_str(), &stInfo) == 0 && S_ISREG(stInfo.st_mode) && stInfo.st_size > 0;
}

// Removes a folder and everything in it.
void RemoveTree(const std::string& strPath)
{
    if (strPath.empty())
        return;
    pid_t nPid = fork();
    if (nPid == 0)
    {
        execlp("rm", "rm", "-rf", "--", strPath.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (nPid > 0)
        waitpid(nPid, nullptr, 0);
}

void MakeFolders(const std::string& strPath)
{
    for (size_t nSlash = strPath.find('/', 1);; nSlash = strPath.find('/', nSlash + 1))
    {
        mkdir(strPath.substr(0, nSlash).c_str(), 0755);
        if (nSlash == std::string::npos)
            break;
    }
}
} // namespace

CRKGuest::CRKGuest(const std::string& strName)
    : m_strName(strName), m_strKit(EnvironmentOr("RKKERNEL_KIT", RKKERNEL_KIT_DIR))
{
    m_strRunDir = m_strKit + "/run/" + strName;
    m_strShare = m_strRunDir + "/share";
    m_strConsoleLog = m_strRunDir + "/console.log";
}

CRKGuest::~CRKGuest()
{
    PowerOff();
}

unsigned CRKGuest::CdromGid()
{
    const group* pGroup = getgrnam("cdrom");
    return pGroup ? static_cast<unsigned>(pGroup->gr_gid) : 24u;
}

unsigned CRKGuest::UserUid(RKGuestUser eUser)
{
    switch (eUser)
    {
    case RKGUEST_CDROM_USER:
        return 4242;
    case RKGUEST_PLAIN_USER:
        return 4243;
    default:
        return 0;
    }
}

// The SCSI targets the machine has, for the guest's scan: "0,1,2".
std::string CRKGuest::ScsiTargets(const std::vector<RKGuestDrive>& vecDrives)
{
    std::string strTargets;
    int nTarget = 0;
    for (const RKGuestDrive& stDrive : vecDrives)
        if (!stDrive.bIde && stDrive.eBus == RKGUEST_SCSI_BUS)
        {
            strTargets += (nTarget ? "," : "") + std::to_string(nTarget);
            ++nTarget;
        }
    return strTargets;
}

std::vector<std::string> CRKGuest::MachineArguments(const std::vector<RKGuestDrive>& vecDrives) const
{
    std::vector<std::string> vecArgs = {EnvironmentOr("RKKERNEL_QEMU", RKKERNEL_QEMU), "-no-reboot"};
    auto Add = [&vecArgs](const std::string& strOption, const std::string& strValue)
    {
        vecArgs.push_back(strOption);
        vecArgs.push_back(strValue);
    };
    // KVM hangs on these machines; without SMAP, TCG also runs wine.
    Add("-accel", "tcg");
    Add("-cpu", "max,-smap");
    Add("-m", "768");
    Add("-smp", "1");
    Add("-display", "none");
    Add("-net", "none");
    Add("-monitor", "none");
    Add("-chardev", "file,id=console,path=" + m_strConsoleLog + ",append=on");
    // Where the machine writes the trace events a test turns on.
    Add("-D", TraceLogPath());
    Add("-serial", "chardev:console");
    Add("-kernel", m_strKit + "/vmlinuz");
    Add("-initrd", m_strKit + "/initramfs.gz");
    // The build trees the guest runs programs from, read-only, each mounted
    // again at its own path over the guest's own /tmp, so that a tree under
    // the host's /tmp is seen there too: this one, and a Windows build.
    std::vector<std::string> vecTrees = {RKKERNEL_BUILD_TREE};
    if (const char* szWindowsBin = std::getenv("RKKERNEL_WINDOWS_BIN"))
    {
        if (*szWindowsBin)
            vecTrees.push_back(szWindowsBin);
    }
    std::string strTrees;
    for (const std::string& strTree : vecTrees)
        strTrees += (strTrees.empty() ? "" : ",") + strTree;
    int nUsb = 0;
    bool bSata = false;
    for (const RKGuestDrive& stDrive : vecDrives)
    {
        nUsb += !stDrive.bIde && stDrive.eBus == RKGUEST_USB_BUS ? 1 : 0;
        bSata = bSata || (!stDrive.bIde && stDrive.eBus == RKGUEST_SATA_BUS);
    }
    Add("-append", "console=ttyS0 quiet panic=-1 rkshare=" + m_strShare + " rktrees=" + strTrees +
                       " rkscsi=" + ScsiTargets(vecDrives) + " rkdrives=" + std::to_string(vecDrives.size()) +
                       " rkusb=" + std::to_string(nUsb));
    Add("-fsdev", "local,id=root,path=/,security_model=none,readonly=on,multidevs=remap");
    Add("-device", "virtio-9p-pci,fsdev=root,mount_tag=hostroot");
    for (std::size_t i = 0; i < vecTrees.size(); ++i)
    {
        std::string strId = "tree" + std::to_string(i);
        Add("-fsdev", "local,id=" + strId + ",path=" + vecTrees[i] +
                          ",security_model=none,readonly=on,multidevs=remap");
        Add("-device", "virtio-9p-pci,fsdev=" + strId + ",mount_tag=host" + strId);
    }
    Add("-fsdev", "local,id=share,path=" + m_strShare + ",security_model=none,multidevs=remap");
    Add("-device", "virtio-9p-pci,fsdev=share,mount_tag=hostshare");
    Add("-chardev", "socket,id=agent,path=" + m_strSocketDir + "/agent.sock,server=on,wait=off");
    Add("-device", "isa-serial,chardev=agent");
    Add("-qmp", "unix:" + m_strSocketDir + "/qmp.sock,server=on,wait=off");
    Add("-device", "virtio-scsi-pci,id=scsi0");
    // Every guest has a USB controller, so that drives can be plugged in.
    Add("-device", "qemu-xhci,id=xhci");
    if (bSata)
        Add("-device", "ich9-ahci,id=ahci0");
    int nTarget = 0;
    int nPort = 0;
    int nUsbPort = 0;
    for (const RKGuestDrive& stDrive : vecDrives)
    {
        std::string strDrive = "if=none,id=d-" + stDrive.strId + ",media=cdrom";
        if (!stDrive.strImage.empty())
            strDrive += ",format=raw,file=" + stDrive.strImage;
        Add("-drive", strDrive);
        std::string strDevice;
        if (stDrive.bIde)
            strDevice = "ide-cd";
        else if (stDrive.eBus == RKGUEST_SATA_BUS)
            strDevice = "ide-cd,bus=ahci0." + std::to_string(nPort++);
        else if (stDrive.eBus == RKGUEST_USB_BUS)
        {
            Add("-device",
                "usb-bot,id=usb-" + stDrive.strId + ",bus=xhci.0,port=" + std::to_string(++nUsbPort));
            strDevice = "scsi-cd,bus=usb-" + stDrive.strId + ".0";
        }
        else
            strDevice = "scsi-cd,bus=scsi0.0,scsi-id=" + std::to_string(nTarget++) + ",lun=0";
        Add("-device", strDevice + ",drive=d-" + stDrive.strId + ",id=" + stDrive.strId);
    }
    return vecArgs;
}

bool CRKGuest::Boot(const std::vector<RKGuestDrive>& vecDrives)
{
    PowerOff();
    m_strError.clear();
    if (!FileExists(m_strKit + "/vmlinuz") || !FileExists(m_strKit + "/initramfs.gz"))
        return Fail("no guest kit in " + m_strKit +
                    " (RKGuestKit.sh prepares it; ctest runs it as rkdrv_kernel_kit)");
    for (const RKGuestDrive& stDrive : vecDrives)
        if (!stDrive.strImage.empty() && access(stDrive.strImage.c_str(), R_OK) != 0)
            return Fail("no disc image " + stDrive.strImage + " for " + stDrive.strId);
    RemoveTree(m_strShare);
    MakeFolders(m_strShare);
    chmod(m_strShare.c_str(), 01777);
    std::ofstream(m_strConsoleLog, std::ios::trunc).close();
    char szSockets[] = "/tmp/rkguest-XXXXXX";
    if (!mkdtemp(szSockets))
        return Fail(std::string("cannot make a socket folder: ") + std::strerror(errno));
    m_strSocketDir = szSockets;

    std::vector<std::string> vecArgs = MachineArguments(vecDrives);
    m_nScsiTargets = 0;
    for (const RKGuestDrive& stDrive : vecDrives)
        m_nScsiTargets += !stDrive.bIde && stDrive.eBus == RKGUEST_SCSI_BUS ? 1 : 0;
    std::vector<char*> vecArgv;
    for (std::string& strArg : vecArgs)
        vecArgv.push_back(&strArg[0]);
    vecArgv.push_back(nullptr);
    int nLog = open(m_strConsoleLog.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    pid_t nPid = fork();
    if (nPid == 0)
    {
        // The machine's own complaints land in the console log too.
        int nNull = open("/dev/null", O_RDONLY);
        dup2(nNull, 0);
        dup2(nLog, 1);
        dup2(nLog, 2);
        execvp(vecArgv[0], vecArgv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", vecArgv[0], std::strerror(errno));
        _exit(127);
    }
    if (nLog >= 0)
        close(nLog);
    if (nPid < 0)
        return Fail(std::string("cannot start QEMU: ") + std::strerror(errno));
    m_nPid = nPid;

    RKClock::time_point tpDeadline = RKClock::now() + std::chrono::seconds(s_nBootSeconds);
    if (!WaitForAgent(tpDeadline))
        return false;
    std::string strWhy;
    if (!m_Qmp.Open(m_strSocketDir + "/qmp.sock", RKClock::now() + std::chrono::seconds(10), strWhy))
        return Fail(strWhy);
    return true;
}

bool CRKGuest::WaitForAgent(RKClock::time_point tpDeadline)
{
    while (!m_Agent.IsOpen())
    {
        if (HasExited())
            return Fail("QEMU ended before its agent socket opened");
        if (RKClock::now() >= tpDeadline)
            return Fail("QEMU opened no agent socket within " + std::to_string(s_nBootSeconds) + " s");
        m_Agent.Connect(m_strSocketDir + "/agent.sock", RKClock::now() + std::chrono::milliseconds(200));
    }
    for (;;)
    {
        std::string strLine;
        if (m_Agent.ReadLine(strLine, std::min(tpDeadline, RKClock::now() + std::chrono::seconds(1))))
        {
            if (strLine == "RKAGENT READY")
                return true;
            continue;
        }
        if (HasExited() || !m_Agent.IsOpen())
            return Fail("the guest stopped before its agent started");
        if (RKClock::now() >= tpDeadline)
            return Fail("the guest's agent did not start within " + std::to_string(s_nBootSeconds) + " s");
    }
}

bool CRKGuest::HasExited()
{
    if (m_nPid <= 0)
        return true;
    int nStatus = 0;
    if (waitpid(m_nPid, &nStatus, WNOHANG) == m_nPid)
    {
        m_nPid = -1;
        return true;
    }
    return false;
}

void CRKGuest::Kill()
{
    if (!HasExited())
    {
        kill(m_nPid, SIGKILL);
        waitpid(m_nPid, nullptr, 0);
        m_nPid = -1;
    }
    m_Agent.Close();
    m_Qmp.Close();
    if (!m_strSocketDir.empty())
        RemoveTree(m_strSocketDir);
    m_strSocketDir.clear();
    m_mapPending.clear();
}

void CRKGuest::PowerOff()
{
    if (m_nPid > 0 && m_Agent.WriteLine("POWEROFF"))
    {
        RKClock::time_point tpDeadline = RKClock::now() + std::chrono::seconds(20);
        while (!HasExited() && RKClock::now() < tpDeadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Kill();
}

bool CRKGuest::Fail(const std::string& strWhy)
{
    Kill();
    m_strError = strWhy + "\nguest console log " + m_strConsoleLog + ", last lines:\n" + ConsoleTail();
    return false;
}

std::string CRKGuest::ConsoleTail(int nLines) const
{
    std::ifstream ifsLog(m_strConsoleLog);
    std::deque<std::string> deqLines;
    std::string strLine;
    while (std::getline(ifsLog, strLine))
    {
        deqLines.push_back(strLine);
        if (static_cast<int>(deqLines.size()) > nLines)
            deqLines.pop_front();
    }
    std::string strTail;
    for (const std::string& strKept : deqLines)
        strTail += strKept + "\n";
    return strTail;
}

std::string CRKGuest::MakeImage(const std::string& strName, unsigned long long ullBytes)
{
    MakeFolders(m_strRunDir);
    std::string strPath = m_strRunDir + "/" + strName;
    int nFd = open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    // Boot refuses a drive whose image is missing.
    if (nFd < 0 || ftruncate(nFd, static_cast<off_t>(ullBytes)) != 0)
        unlink(strPath.c_str());
    if (nFd >= 0)
        close(nFd);
    return strPath;
}
