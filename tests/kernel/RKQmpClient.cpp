#include "RKQmpClient.h"

namespace
{
const std::chrono::seconds s_tCommandLimit(30);
}

bool CRKQmpClient::Open(const std::string& strPath, RKClock::time_point tpDeadline, std::string& strError)
{
    if (!m_Socket.Connect(strPath, tpDeadline))
    {
        strError = "cannot connect to the monitor at " + strPath;
        return false;
    }
    nlohmann::json jsGreeting;
    if (!ReadMessage(jsGreeting, tpDeadline) || !jsGreeting.contains("QMP"))
    {
        strError = "the monitor sent no greeting";
        return false;
    }
    nlohmann::json jsReturn;
    return Execute("qmp_capabilities", nlohmann::json::object(), jsReturn, strError);
}

bool CRKQmpClient::Execute(const std::string& strCommand, const nlohmann::json& jsArguments,
                           nlohmann::json& jsReturn, std::string& strError)
{
    nlohmann::json jsRequest = {{"execute", strCommand}};
    if (!jsArguments.empty())
        jsRequest["arguments"] = jsArguments;
    if (!m_Socket.WriteLine(jsRequest.dump()))
    {
        strError = strCommand + ": the monitor is gone";
        return false;
    }
    RKClock::time_point tpDeadline = RKClock::now() + s_tCommandLimit;
    for (;;)
    {
        nlohmann::json jsMessage;
        if (!ReadMessage(jsMessage, tpDeadline))
        {
            strError = strCommand + ": no answer from the monitor";
            return false;
        }
        if (jsMessage.contains("return"))
        {
            jsReturn = jsMessage["return"];
            return true;
        }
        if (jsMessage.contains("error"))
        {
            strError = strCommand + ": " + jsMessage["error"].value("desc", jsMessage["error"].dump());
            return false;
        }
    }
}

std::vector<nlohmann::json> CRKQmpClient::TakeEvents()
{
    // Collects what arrived while no command was waiting.
    nlohmann::json jsMessage;
    while (ReadMessage(jsMessage, RKClock::now()))
    {
    }
    std::vector<nlohmann::json> vecEvents;
    vecEvents.swap(m_vecEvents);
    return vecEvents;
}

bool CRKQmpClient::ReadMessage(nlohmann::json& jsMessage, RKClock::time_point tpDeadline)
{
    std::string strLine;
    while (m_Socket.ReadLine(strLine, tpDeadline))
    {
        jsMessage = nlohmann::json::parse(strLine, nullptr, false);
        if (jsMessage.is_discarded())
            continue;
        if (jsMessage.contains("event"))
        {
            m_vecEvents.push_back(jsMessage);
            continue;
        }
        return true;
    }
    return false;
}
