// POSIX local sockets for the guest's channels. Only POSIX calls belong here.
#include "RKLineSocket.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

CRKLineSocket::~CRKLineSocket()
{
    Close();
}

bool CRKLineSocket::Connect(const std::string& strPath, RKClock::time_point tpDeadline)
{
    Close();
    sockaddr_un stAddress{};
    stAddress.sun_family = AF_UNIX;
    if (strPath.size() >= sizeof(stAddress.sun_path))
        return false;
    std::memcpy(stAddress.sun_path, strPath.c_str(), strPath.size() + 1);
    for (;;)
    {
        int nFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (nFd < 0)
            return false;
        if (connect(nFd, reinterpret_cast<sockaddr*>(&stAddress), sizeof(stAddress)) == 0)
        {
            m_nFd = nFd;
            return true;
        }
        close(nFd);
        if (RKClock::now() >= tpDeadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void CRKLineSocket::Close()
{
    if (m_nFd >= 0)
        close(m_nFd);
    m_nFd = -1;
    m_strPending.clear();
}

bool CRKLineSocket::WriteLine(const std::string& strLine)
{
    std::string strData = strLine + "\n";
    size_t nDone = 0;
    while (m_nFd >= 0 && nDone < strData.size())
    {
        ssize_t nWritten = send(m_nFd, strData.data() + nDone, strData.size() - nDone, MSG_NOSIGNAL);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return false;
        nDone += static_cast<size_t>(nWritten);
    }
    return m_nFd >= 0;
}

bool CRKLineSocket::ReadLine(std::string& strLine, RKClock::time_point tpDeadline)
{
    for (;;)
    {
        size_t nEnd = m_strPending.find('\n');
        if (nEnd != std::string::npos)
        {
            strLine = m_strPending.substr(0, nEnd);
            m_strPending.erase(0, nEnd + 1);
            if (!strLine.empty() && strLine.back() == '\r')
                strLine.pop_back();
            return true;
        }
        if (m_nFd < 0)
            return false;
        auto nLeft =
            std::chrono::duration_cast<std::chrono::milliseconds>(tpDeadline - RKClock::now()).count();
        if (nLeft <= 0)
            return false;
        pollfd stPoll{m_nFd, POLLIN, 0};
        int nReady = poll(&stPoll, 1, static_cast<int>(nLeft));
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady <= 0)
            return false;
        char abBuffer[4096];
        ssize_t nRead = recv(m_nFd, abBuffer, sizeof(abBuffer), 0);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
        {
            close(m_nFd);
            m_nFd = -1;
            return false;
        }
        m_strPending.append(abBuffer, static_cast<size_t>(nRead));
    }
}
