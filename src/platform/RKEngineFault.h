// Calls into engines and host callbacks that may throw. Nothing may leave
// the library, so each such call is made through RKGuardedCall: a call that
// throws leaves one trace line, "<operation> threw an exception", and the
// operation that made it ends.
#ifndef RKENGINEFAULT_H
#define RKENGINEFAULT_H

// Writes the line for a call that threw.
void RKTraceThrowingCall(const unsigned short* szOperation);

// Thrown by RKGuardedCall once the fault is traced; caught by the library
// operation that made the call, which ends soundly.
struct RKCallFault
{
};

template <typename TCall>
auto RKGuardedCall(const unsigned short* szOperation, TCall fnCall) -> decltype(fnCall())
{
    try
    {
        return fnCall();
    }
    catch (...)
    {
        RKTraceThrowingCall(szOperation);
        throw RKCallFault();
    }
}

#endif
