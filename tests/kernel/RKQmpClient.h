// The machine monitor's JSON protocol: commands, their answers, and the
// events that arrive in between.
#ifndef RKQMPCLIENT_H
#define RKQMPCLIENT_H

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "RKLineSocket.h"

class CRKQmpClient
{
public:
    // Connects, reads the greeting and leaves negotiation mode.
    bool Open(const std::string& strPath, RKClock::time_point tpDeadline, std::string& strError);
    void Close() { m_Socket.Close(); }

    // Sends one command and waits for its answer. True with the "return"
    // value; false with the error's description (or why none came).
    bool Execute(const std::string& strCommand, const nlohmann::json& jsArguments, nlohmann::json& jsReturn,
                 std::string& strError);

    // Events received so far, in order of arrival, then forgotten.
    std::vector<nlohmann::json> TakeEvents();

private:
    bool ReadMessage(nlohmann::json& jsMessage, RKClock::time_point tpDeadline);

    CRKLineSocket m_Socket;
    std::vector<nlohmann::json> m_vecEvents;
};

#endif
