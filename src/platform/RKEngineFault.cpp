#include "RKEngineFault.h"

#include "RKLog.h"

void RKTraceThrowingCall(const unsigned short* szOperation)
{
    CRKLog::GetInstance()->AddError(RK_TEXT("%s threw an exception"), szOperation);
}
