// A client end of a local stream socket that speaks in lines, with every
// wait bounded by a deadline.
#ifndef RKLINESOCKET_H
#define RKLINESOCKET_H

#include <chrono>
#include <string>

typedef std::chrono::steady_clock RKClock;

class CRKLineSocket
{
public:
    CRKLineSocket() = default;
    ~CRKLineSocket();
    CRKLineSocket(const CRKLineSocket&) = delete;
    CRKLineSocket& operator=(const CRKLineSocket&) = delete;

    // Connects to the socket at strPath, retrying while it does not exist
    // yet or refuses, until the deadline.
    bool Connect(const std::string& strPath, RKClock::time_point tpDeadline);
    void Close();
    bool IsOpen() const { return m_nFd >= 0; }

    bool WriteLine(const std::string& strLine);
    // One line without its end, or false at the deadline or when the other
    // end closed (IsOpen() is then false).
    bool ReadLine(std::string& strLine, RKClock::time_point tpDeadline);

private:
    int m_nFd = -1;
    std::string m_strPending;
};

#endif
