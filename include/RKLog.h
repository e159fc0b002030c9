// CRKLog: the trace log. One instance per process; records go to the
// installed sink and, when RKDRV_TRACE_FILE names a file, to that file.
#ifndef RKLOG_H
#define RKLOG_H

#include "RKExport.h"
#include "RKTypes.h"

enum RKLogKind
{
    RKLOG_ENTER,
    RKLOG_EXIT,
    RKLOG_STEP,
    RKLOG_INFO,
    RKLOG_ERROR,
    RKLOG_VARIABLE
};

// The tag a record's kind is written with in the trace file ("ENTER ",
// "INFO ", ...), for sinks that write records the same way.
inline const char* RKLogKindTag(RKLogKind kind)
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

// Receives every record as kind and 16-bit text. ENTER, STEP, INFO and
// ERROR carry the formatted line; EXIT carries "" (no value), the value in
// decimal (int form) or "0x" and 16 lower-case hex digits (64-bit form);
// VARIABLE carries "name = value".
class CRKLogSink
{
public:
    virtual ~CRKLogSink() {}
    virtual void Write(RKLogKind kind, const unsigned short* text) = 0;
};

class RKDRV_API CRKLog
{
public:
    static CRKLog* GetInstance();

    // Not owned; null stops delivery. Records are formatted only while a
    // sink or a trace file is set.
    void SetSink(CRKLogSink* pSink);

    // Formats: %d and %ld (32-bit signed), %x (32-bit unsigned, lower-case
    // hex), %p, %c (16-bit character), %s (16-bit text), %%. Anything else
    // is copied as it stands and reads no argument.
    int EnterFunction(const unsigned short* szFormat, ...);
    int AddStep(const unsigned short* szFormat, ...);
    int AddInfo(const unsigned short* szFormat, ...);
    int AddError(const unsigned short* szFormat, ...);
    int AddVariable(const unsigned short* szName, unsigned long ulValue, int nReserved1, int nReserved2);
    void ExitFunction();
    int ExitFunction(int nResult);
    long long ExitFunction(long long llResult);

private:
    // Constant: the one instance needs no guard on the path of every record.
    constexpr CRKLog() {}
    CRKLog(const CRKLog&) = delete;
    CRKLog& operator=(const CRKLog&) = delete;
};

#endif
