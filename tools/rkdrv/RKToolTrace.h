// The library's trace records: on stderr with --trace, and the library's
// fault records kept for the commands, which tell from them why a wait
// ended without its final report.
#ifndef RKTOOLTRACE_H
#define RKTOOLTRACE_H

#include <mutex>
#include <string>

#include "RKLog.h"
#include "RKToolConsole.h"

class CRKToolTraceSink : public CRKLogSink
{
public:
    CRKToolTraceSink(CRKToolConsole& console, bool bPrint) : m_console(console), m_bPrint(bPrint) {}

    // With --trace, one line per record, as the trace file has it: two
    // spaces per open scope, the kind, the text.
    void Write(RKLogKind kind, const unsigned short* text) override;

    // Error records so far, and the text of the last one.
    int ErrorCount() const;
    std::string LastError() const;

private:
    CRKToolConsole& m_console;
    bool m_bPrint;
    mutable std::mutex m_mutex;
    int m_nDepth = 0;
    int m_nErrors = 0;
    std::string m_strLastError;
};

// Installs the sink for its lifetime.
class CRKToolTraceScope
{
public:
    CRKToolTraceScope(CRKToolConsole& console, bool bPrint);
    ~CRKToolTraceScope();
    CRKToolTraceScope(const CRKToolTraceScope&) = delete;
    CRKToolTraceScope& operator=(const CRKToolTraceScope&) = delete;

    const CRKToolTraceSink& Sink() const { return m_sink; }

private:
    CRKToolTraceSink m_sink;
};

#endif
