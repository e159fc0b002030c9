#include "RKLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "RKTextUtil.h"

namespace
{
std::atomic<CRKLogSink*> s_pSink{nullptr};
// Open scopes, for the indentation of the trace file.
std::atomic<int> s_nDepth{0};
std::mutex s_FileMutex;

const char* TraceFilePath()
{
    const char* szPath = std::getenv("RKDRV_TRACE_FILE");
    return (szPath && *szPath) ? szPath : nullptr;
}

bool IsTracing()
{
    return s_pSink.load(std::memory_order_acquire) != nullptr || TraceFilePath() != nullptr;
}

const char* KindTag(RKLogKind kind)
{
    switch (kind)
    {
    case RKLOG_ENTER:
        return "ENTER ";
    case RKLOG_EXIT:
        return "EXIT ";
    case RKLOG_STEP:
        return "STEP ";
    case RKLOG_INFO:
        return "INFO ";
    case RKLOG_ERROR:
        return "ERROR ";
    case RKLOG_VARIABLE:
        return "VARIABLE ";
    }
    return "";
}

void AppendToFile(const char* szPath, RKLogKind kind, const RKText& strText, int nDepth)
{
    std::string strLine(static_cast<std::string::size_type>(nDepth > 0 ? nDepth * 2 : 0), ' ');
    strLine += KindTag(kind);
    strLine += RKTextToUtf8(RKTextPtr(strText));
    strLine += '\n';
    std::lock_guard<std::mutex> lock(s_FileMutex);
    // Opened per record: nothing stays open across the module's unload.
    if (std::FILE* pFile = std::fopen(szPath, "ab"))
    {
        std::fwrite(strLine.data(), 1, strLine.size(), pFile);
        std::fclose(pFile);
    }
}

void Deliver(RKLogKind kind, const RKText& strText, int nDepth)
{
    if (CRKLogSink* pSink = s_pSink.load(std::memory_order_acquire))
        pSink->Write(kind, RKTextPtr(strText));
    if (const char* szPath = TraceFilePath())
        AppendToFile(szPath, kind, strText, nDepth);
}

// Scope depth moves even when nothing listens, so that a file named later
// is still indented right.
int EnterScope()
{
    return s_nDepth.fetch_add(1);
}

int LeaveScope()
{
    int nDepth = s_nDepth.load();
    while (nDepth > 0 && !s_nDepth.compare_exchange_weak(nDepth, nDepth - 1))
    {
    }
    return nDepth > 0 ? nDepth - 1 : 0;
}

void Record(RKLogKind kind, const unsigned short* szFormat, va_list vaArgs)
{
    int nDepth = kind == RKLOG_ENTER ? EnterScope() : s_nDepth.load();
    if (!IsTracing())
        return;
    try
    {
        RKText strText;
        RKFormatV(strText, szFormat, vaArgs);
        Deliver(kind, strText, nDepth);
    }
    catch (...)
    {
        // Tracing must never take the caller down.
    }
}

// nValueKind: 0 no value, 1 decimal int, 2 64-bit hex.
void RecordExit(int nValueKind, long long llValue)
{
    int nDepth = LeaveScope();
    if (!IsTracing())
        return;
    try
    {
        RKText strText;
        if (nValueKind == 1)
        {
            std::string strValue = std::to_string(static_cast<int>(llValue));
            strText.assign(strValue.begin(), strValue.end());
        }
        else if (nValueKind == 2)
        {
            static const char s_szDigits[] = "0123456789abcdef";
            unsigned long long ullValue = static_cast<unsigned long long>(llValue);
            strText = u"0x";
            for (int nShift = 60; nShift >= 0; nShift -= 4)
                strText += static_cast<char16_t>(s_szDigits[(ullValue >> nShift) & 0xF]);
        }
        Deliver(RKLOG_EXIT, strText, nDepth);
    }
    catch (...)
    {
    }
}
} // namespace

CRKLog::CRKLog() {}

CRKLog* CRKLog::GetInstance()
{
    static CRKLog s_Instance;
    return &s_Instance;
}

void CRKLog::SetSink(CRKLogSink* pSink)
{
    s_pSink.store(pSink, std::memory_order_release);
}

#define RKLOG_RECORD(kind)                                                                                   \
    va_list vaArgs;                                                                                          \
    va_start(vaArgs, szFormat);                                                                              \
    Record(kind, szFormat, vaArgs);                                                                          \
    va_end(vaArgs);                                                                                          \
    return 0

int CRKLog::EnterFunction(const unsigned short* szFormat, ...)
{
    RKLOG_RECORD(RKLOG_ENTER);
}

int CRKLog::AddStep(const unsigned short* szFormat, ...)
{
    RKLOG_RECORD(RKLOG_STEP);
}

int CRKLog::AddInfo(const unsigned short* szFormat, ...)
{
    RKLOG_RECORD(RKLOG_INFO);
}

int CRKLog::AddError(const unsigned short* szFormat, ...)
{
    RKLOG_RECORD(RKLOG_ERROR);
}

int CRKLog::AddVariable(const unsigned short* szName, unsigned long ulValue, int, int)
{
    if (!IsTracing())
        return 0;
    try
    {
        RKText strText;
        for (const unsigned short* p = szName; p && *p; ++p)
            strText += static_cast<char16_t>(*p);
        strText += u" = ";
        std::string strValue = std::to_string(ulValue);
        strText.append(strValue.begin(), strValue.end());
        Deliver(RKLOG_VARIABLE, strText, s_nDepth.load());
    }
    catch (...)
    {
    }
    return 0;
}

void CRKLog::ExitFunction()
{
    RecordExit(0, 0);
}

int CRKLog::ExitFunction(int nResult)
{
    RecordExit(1, nResult);
    return nResult;
}

long long CRKLog::ExitFunction(long long llResult)
{
    RecordExit(2, llResult);
    return llResult;
}
