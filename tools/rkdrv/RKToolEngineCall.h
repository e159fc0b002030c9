// Calls into the engine's code, which may throw. Each is made through
// RKToolEngineCall, as the library makes its own: a throw becomes one
// CRKToolEngineFailure naming the call and the drive, which the command
// reports as "the engine failed: ..." with its own exit code.
#ifndef RKTOOLENGINECALL_H
#define RKTOOLENGINECALL_H

#include <exception>
#include <string>
#include <utility>

#include "RKTypes.h"

class CRKToolEngineFailure
{
public:
    explicit CRKToolEngineFailure(std::string strWhat) : m_strWhat(std::move(strWhat)) {}
    const std::string& What() const { return m_strWhat; }

private:
    std::string m_strWhat;
};

// "IsMediaIn of E: threw: <what>", or "... threw an exception" when the
// exception says nothing.
std::string RKToolEngineCallText(const char* szCall, WORD wLetter, const std::exception* pException);

template <typename TCall>
auto RKToolEngineCall(const char* szCall, WORD wLetter, TCall fnCall) -> decltype(fnCall())
{
    try
    {
        return fnCall();
    }
    catch (const std::exception& e)
    {
        throw CRKToolEngineFailure(RKToolEngineCallText(szCall, wLetter, &e));
    }
    catch (...)
    {
        throw CRKToolEngineFailure(RKToolEngineCallText(szCall, wLetter, nullptr));
    }
}

#endif
