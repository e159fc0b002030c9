// POSIX process handling for the tool's tests. Only POSIX calls belong here.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "RKToolProcess.h"

extern char** environ;

namespace
{
bool IsStrayVariable(const std::string& strEntry)
{
    static const char* const s_aszPrefixes[] = {"LD_LIBRARY_PATH=", "RKDRV_", "WINEPREFIX="};
    for (const char* szPrefix : s_aszPrefixes)
    {
        if (strEntry.compare(0, std::strlen(szPrefix), szPrefix) == 0)
            return true;
    }
    return false;
}

double MonotonicSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
} // namespace

CRKToolProcess::~CRKToolProcess()
{
    if (m_nPid > 0)
    {
        kill(m_nPid, SIGKILL);
        waitpid(m_nPid, nullptr, 0);
    }
    if (m_nOutFd >= 0)
        close(m_nOutFd);
    if (m_nErrFd >= 0)
        close(m_nErrFd);
}

bool CRKToolProcess::Start(const std::string& strProgram, const std::vector<std::string>& vecArgs,
                           const std::map<std::string, std::string>& mapEnv)
{
    std::vector<std::string> vecEnv;
    for (char** ppEntry = environ; *ppEntry; ++ppEntry)
    {
        std::string strEntry = *ppEntry;
        std::string strName = strEntry.substr(0, strEntry.find('='));
        if (!IsStrayVariable(strEntry) && mapEnv.find(strName) == mapEnv.end())
            vecEnv.push_back(strEntry);
    }
    for (const auto& entry : mapEnv)
        vecEnv.push_back(entry.first + "=" + entry.second);

    std::vector<std::string> vecArgv = {strProgram};
    vecArgv.insert(vecArgv.end(), vecArgs.begin(), vecArgs.end());
    std::vector<char*> vecArgvPtrs, vecEnvPtrs;
    for (std::string& strArg : vecArgv)
        vecArgvPtrs.push_back(&strArg[0]);
    vecArgvPtrs.push_back(nullptr);
    for (std::string& strEntry : vecEnv)
        vecEnvPtrs.push_back(&strEntry[0]);
    vecEnvPtrs.push_back(nullptr);

    int anOut[2], anErr[2];
    if (pipe(anOut) != 0)
        return false;
    if (pipe(anErr) != 0)
    {
        close(anOut[0]);
        close(anOut[1]);
        return false;
    }
    m_dStart = MonotonicSeconds();
    m_nPid = fork();
    if (m_nPid == 0)
    {
        // The child starts as a shell would start it: default SIGINT, nothing blocked.
        sigset_t setEmpty;
        sigemptyset(&setEmpty);
        sigprocmask(SIG_SETMASK, &setEmpty, nullptr);
        signal(SIGINT, SIG_DFL);
        int nNull = open("/dev/null", O_RDONLY);
        dup2(nNull, STDIN_FILENO);
        dup2(anOut[1], STDOUT_FILENO);
        dup2(anErr[1], STDERR_FILENO);
        close(anOut[0]);
        close(anErr[0]);
        execve(vecArgvPtrs[0], vecArgvPtrs.data(), vecEnvPtrs.data());
        _exit(127);
    }
    close(anOut[1]);
    close(anErr[1]);
    if (m_nPid < 0)
    {
        close(anOut[0]);
        close(anErr[0]);
        return false;
    }
    m_nOutFd = anOut[0];
    m_nErrFd = anErr[0];
    return true;
}

bool CRKToolProcess::Pump(int nMilliseconds)
{
    pollfd astFds[2];
    int nFds = 0;
    for (int nFd : {m_nOutFd, m_nErrFd})
    {
        if (nFd >= 0)
        {
            astFds[nFds].fd = nFd;
            astFds[nFds].events = POLLIN;
            astFds[nFds].revents = 0;
            ++nFds;
        }
    }
    if (nFds == 0)
        return false;
    if (poll(astFds, static_cast<nfds_t>(nFds), nMilliseconds) <= 0)
        return true;
    for (int i = 0; i < nFds; ++i)
    {
        if (!(astFds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char abBuffer[4096];
        ssize_t nRead = read(astFds[i].fd, abBuffer, sizeof(abBuffer));
        bool bOut = astFds[i].fd == m_nOutFd;
        if (nRead > 0)
        {
            (bOut ? m_result.strOut : m_result.strErr).append(abBuffer, static_cast<std::size_t>(nRead));
        }
        else if (nRead == 0 || errno != EINTR)
        {
            close(astFds[i].fd);
            (bOut ? m_nOutFd : m_nErrFd) = -1;
        }
    }
    return true;
}

double CRKToolProcess::Seconds() const
{
    return MonotonicSeconds() - m_dStart;
}

bool CRKToolProcess::WaitForStderr(const std::string& strText, double dTimeout)
{
    return WaitFor(m_result.strErr, strText, dTimeout);
}

bool CRKToolProcess::WaitForStdout(const std::string& strText, double dTimeout)
{
    return WaitFor(m_result.strOut, strText, dTimeout);
}

bool CRKToolProcess::WaitFor(const std::string& strCollected, const std::string& strText, double dTimeout)
{
    double dLimit = Seconds() + dTimeout;
    while (strCollected.find(strText) == std::string::npos)
    {
        if (Seconds() > dLimit || !Pump(50))
            return strCollected.find(strText) != std::string::npos;
    }
    return true;
}

void CRKToolProcess::Interrupt()
{
    if (m_nPid > 0)
        kill(m_nPid, SIGINT);
}

RKToolRunResult CRKToolProcess::Finish(double dTimeout)
{
    double dLimit = Seconds() + dTimeout;
    while (m_nPid > 0)
    {
        int nStatus = 0;
        pid_t nDone = waitpid(m_nPid, &nStatus, WNOHANG);
        if (nDone == m_nPid)
        {
            m_result.dSeconds = Seconds();
            m_nPid = -1;
            if (WIFEXITED(nStatus))
                m_result.nExitCode = WEXITSTATUS(nStatus);
            else if (WIFSIGNALED(nStatus))
                m_result.nSignal = WTERMSIG(nStatus);
            break;
        }
        if (Seconds() > dLimit)
        {
            m_result.bTimedOut = true;
            kill(m_nPid, SIGKILL);
        }
        if (!Pump(20))
            usleep(20000);
    }
    // What is left in the pipes, for as long as anyone holds them open.
    for (int nTry = 0; nTry < 50 && (m_nOutFd >= 0 || m_nErrFd >= 0); ++nTry)
        Pump(100);
    return m_result;
}

RKToolRunResult RKToolRun(const std::string& strProgram, const std::vector<std::string>& vecArgs,
                          const std::map<std::string, std::string>& mapEnv, double dTimeout)
{
    CRKToolProcess process;
    if (!process.Start(strProgram, vecArgs, mapEnv))
        return RKToolRunResult();
    return process.Finish(dTimeout);
}

std::vector<std::string> RKToolLines(const std::string& strText)
{
    std::vector<std::string> vecLines;
    std::string::size_type nStart = 0;
    while (nStart < strText.size())
    {
        std::string::size_type nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        std::string strLine = strText.substr(nStart, nEnd - nStart);
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        vecLines.push_back(strLine);
        nStart = nEnd + 1;
    }
    return vecLines;
}
