// Follows what a guest program writes, line by line, into the shared
// folder: the host sees each line as soon as the guest has written it.
#ifndef RKWATCHLINES_H
#define RKWATCHLINES_H

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "RKGuest.h"

// JSON Lines, or plain lines (NextText).
class CRKWatchLines
{
public:
    explicit CRKWatchLines(std::string strPath) : m_strPath(std::move(strPath)) {}

    // The next whole line, within nSeconds; false when none came. Looked
    // for every 5 ms, so that the moment it is seen is close to the moment
    // it was written.
    bool NextText(std::string& strLine, int nSeconds)
    {
        RKClock::time_point tpDeadline = RKClock::now() + std::chrono::seconds(nSeconds);
        for (;;)
        {
            std::ifstream file(m_strPath, std::ios::binary);
            std::string strAll((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            std::string::size_type nEnd = strAll.find('\n', m_nRead);
            if (nEnd != std::string::npos)
            {
                strLine = strAll.substr(m_nRead, nEnd - m_nRead);
                m_nRead = nEnd + 1;
                vecSeen.push_back(strLine);
                return true;
            }
            if (RKClock::now() >= tpDeadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // The next line as JSON; null when none came.
    nlohmann::json Next(int nSeconds)
    {
        std::string strLine;
        return NextText(strLine, nSeconds) ? nlohmann::json::parse(strLine, nullptr, false)
                                           : nlohmann::json();
    }

    // The kinds of the next events up to and including strLast.
    std::vector<std::string> Until(const std::string& strLast, nlohmann::json& jsonLast, int nSeconds = 30)
    {
        std::vector<std::string> vecKinds;
        for (;;)
        {
            jsonLast = Next(nSeconds);
            if (!jsonLast.is_object())
            {
                vecKinds.push_back("(nothing more)");
                return vecKinds;
            }
            std::string strEvent = jsonLast["event"].is_string() ? jsonLast["event"].get<std::string>() : "?";
            std::string strLetter =
                jsonLast["letter"].is_string() ? jsonLast["letter"].get<std::string>() : "?";
            vecKinds.push_back(strLetter + " " + strEvent);
            if (strEvent == strLast)
                return vecKinds;
        }
    }

    std::string Describe() const
    {
        std::string strAll;
        for (const std::string& strLine : vecSeen)
            strAll += strLine + "\n";
        return strAll;
    }

    std::vector<std::string> vecSeen;

private:
    std::string m_strPath;
    std::string::size_type m_nRead = 0;
};

#endif
