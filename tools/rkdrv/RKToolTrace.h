// --trace: the library's trace records on stderr, indented by scope.
#ifndef RKTOOLTRACE_H
#define RKTOOLTRACE_H

#include <mutex>

#include "RKLog.h"
#include "RKToolConsole.h"

class CRKToolTraceSink : public CRKLogSink
{
public:
    explicit CRKToolTraceSink(CRKToolConsole& console) : m_console(console) {}

    // One line per record, as the trace file has it: two spaces per open
    // scope, the kind, the text.
    void Write(RKLogKind kind, const unsigned short* text) override;

private:
    CRKToolConsole& m_console;
    std::mutex m_mutex;
    int m_nDepth = 0;
};

// Installs the sink for its lifetime when asked to.
class CRKToolTraceScope
{
public:
    CRKToolTraceScope(CRKToolConsole& console, bool bEnabled);
    ~CRKToolTraceScope();
    CRKToolTraceScope(const CRKToolTraceScope&) = delete;
    CRKToolTraceScope& operator=(const CRKToolTraceScope&) = delete;

private:
    CRKToolTraceSink m_sink;
    bool m_bEnabled;
};

#endif
