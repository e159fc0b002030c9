#include "RKScTrace.h"

#include "RKLog.h"
#include "RKString.h"
#include "RKUtf8.h"

void RKScTraceInfo(const std::string& strLine)
{
    CRKString strText(RKTextFromUtf8(strLine.c_str()).data());
    CRKLog::GetInstance()->AddInfo(RK_TEXT("%s"), strText.GetText());
}

void RKScTraceError(const std::string& strLine)
{
    CRKString strText(RKTextFromUtf8(strLine.c_str()).data());
    CRKLog::GetInstance()->AddError(RK_TEXT("%s"), strText.GetText());
}

void RKScTraceFailure(const unsigned short* szWhere, bool bOutOfMemory)
{
    if (bOutOfMemory)
        CRKLog::GetInstance()->AddError(RK_TEXT("%s: out of memory"), szWhere);
    else
        CRKLog::GetInstance()->AddError(RK_TEXT("%s: unexpected failure"), szWhere);
}
