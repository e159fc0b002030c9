#include "RKLog.h"

#include <atomic>
#include <cstdarg>
#include <string>

#include "RKLogFile.h"
#include "RKOsLayer.h"
#include "RKTextUtil.h"

namespace
{
std::atomic<CRKLogSink*> s_pSink{nullptr};
// The trace file named by RKDRV_TRACE_FILE when the module was loaded; it
// is opened at attach and closed at detach, under the loader's lock.
RKOsFile s_hTraceFile = nullptr;
// Whether a sink or the trace file listens. When nobody does, a record
// costs this one relaxed load: nothing else is read, counted or formatted.
std::atomic<bool> s_bListening{false};
// Open scopes, for the indentation of the trace file.
std::atomic<int> s_nDepth{0};

void UpdateListening()
{
    s_bListening.store(s_pSink.load(std::memory_order_acquire) != nullptr || s_hTraceFile != nullptr,
                       std::memory_order_release);
}

bool IsListening()
{
    return s_bListening.load(std::memory_order_relaxed);
}

void WriteToFile(RKLogKind kind, const RKText& strText, int nDepth)
{
    std::string strLine(static_cast<std::string::size_type>(nDepth > 0 ? nDepth * 2 : 0), ' ');
    strLine += RKLogKindTag(kind);
    strLine += RKTextToUtf8(strText.c_str());
    strLine += '\n';
    // One append per whole line: nothing is buffered that a crash could
    // lose, and other processes appending to the file never split a line.
    RKOsAppendFile(s_hTraceFile, strLine.data(), static_cast<DWORD>(strLine.size()));
}

void Deliver(RKLogKind kind, const RKText& strText, int nDepth)
{
    if (CRKLogSink* pSink = s_pSink.load(std::memory_order_acquire))
        pSink->Write(kind, strText.c_str());
    if (s_hTraceFile)
        WriteToFile(kind, strText, nDepth);
}

int EnterScope()
{
    return s_nDepth.fetch_add(1, std::memory_order_relaxed);
}

int LeaveScope()
{
    int nDepth = s_nDepth.load(std::memory_order_relaxed);
    while (nDepth > 0 && !s_nDepth.compare_exchange_weak(nDepth, nDepth - 1, std::memory_order_relaxed))
    {
    }
    return nDepth > 0 ? nDepth - 1 : 0;
}

void Record(RKLogKind kind, const unsigned short* szFormat, va_list vaArgs)
{
    int nDepth = kind == RKLOG_ENTER ? EnterScope() : s_nDepth.load(std::memory_order_relaxed);
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
    try
    {
        RKText strText;
        if (nValueKind == 1)
        {
            RKTextAppendAscii(strText, std::to_string(static_cast<int>(llValue)).c_str());
        }
        else if (nValueKind == 2)
        {
            static const char s_szDigits[] = "0123456789abcdef";
            unsigned long long ullValue = static_cast<unsigned long long>(llValue);
            RKTextAppendAscii(strText, "0x");
            for (int nShift = 60; nShift >= 0; nShift -= 4)
                strText += static_cast<unsigned char>(s_szDigits[(ullValue >> nShift) & 0xF]);
        }
        Deliver(RKLOG_EXIT, strText, nDepth);
    }
    catch (...)
    {
    }
}
} // namespace

void RKLogOpenTraceFile()
{
    if (!s_hTraceFile)
        s_hTraceFile = RKOsOpenAppendFileNamedBy("RKDRV_TRACE_FILE");
    UpdateListening();
}

void RKLogCloseTraceFile()
{
    RKOsFile hFile = s_hTraceFile;
    s_hTraceFile = nullptr;
    UpdateListening();
    if (hFile)
        RKOsCloseFile(hFile);
}

CRKLog* CRKLog::GetInstance()
{
    static CRKLog s_Instance;
    return &s_Instance;
}

void CRKLog::SetSink(CRKLogSink* pSink)
{
    s_pSink.store(pSink, std::memory_order_release);
    UpdateListening();
}

#define RKLOG_RECORD(kind)                                                                                   \
    if (IsListening())                                                                                       \
    {                                                                                                        \
        va_list vaArgs;                                                                                      \
        va_start(vaArgs, szFormat);                                                                          \
        Record(kind, szFormat, vaArgs);                                                                      \
        va_end(vaArgs);                                                                                      \
    }                                                                                                        \
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
    if (!IsListening())
        return 0;
    try
    {
        RKText strText;
        if (szName)
            strText += szName;
        RKTextAppendAscii(strText, " = ");
        RKTextAppendAscii(strText, std::to_string(ulValue).c_str());
        Deliver(RKLOG_VARIABLE, strText, s_nDepth.load(std::memory_order_relaxed));
    }
    catch (...)
    {
    }
    return 0;
}

void CRKLog::ExitFunction()
{
    if (IsListening())
        RecordExit(0, 0);
}

int CRKLog::ExitFunction(int nResult)
{
    if (IsListening())
        RecordExit(1, nResult);
    return nResult;
}

long long CRKLog::ExitFunction(long long llResult)
{
    if (IsListening())
        RecordExit(2, llResult);
    return llResult;
}
