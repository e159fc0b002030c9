// Captures the trace records written while it lives.
#ifndef RKTRACECAPTURE_H
#define RKTRACECAPTURE_H

#include <ostream>
#include <string>
#include <vector>

#include "RKLog.h"
#include "RKTextUtil.h"

struct RKTraceRecord
{
    RKLogKind kind;
    std::string text;

    bool operator==(const RKTraceRecord& other) const { return kind == other.kind && text == other.text; }
};

inline void PrintTo(const RKTraceRecord& record, std::ostream* pOut)
{
    static const char* const s_aszKinds[] = {"Enter", "Exit", "Step", "Info", "Error", "Variable"};
    *pOut << s_aszKinds[record.kind] << "(\"" << record.text << "\")";
}

inline RKTraceRecord Enter(const std::string& text)
{
    return {RKLOG_ENTER, text};
}
inline RKTraceRecord Exit(const std::string& text = "")
{
    return {RKLOG_EXIT, text};
}
inline RKTraceRecord Step(const std::string& text)
{
    return {RKLOG_STEP, text};
}
inline RKTraceRecord Info(const std::string& text)
{
    return {RKLOG_INFO, text};
}
inline RKTraceRecord Error(const std::string& text)
{
    return {RKLOG_ERROR, text};
}
inline RKTraceRecord Variable(const std::string& text)
{
    return {RKLOG_VARIABLE, text};
}

class CRKTraceCapture : public CRKLogSink
{
public:
    CRKTraceCapture() { CRKLog::GetInstance()->SetSink(this); }
    ~CRKTraceCapture() override { CRKLog::GetInstance()->SetSink(nullptr); }

    void Write(RKLogKind kind, const unsigned short* text) override
    {
        records.push_back({kind, RKTextToUtf8(text)});
    }

    std::vector<RKTraceRecord> records;
};

#endif
