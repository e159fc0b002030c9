#include "RKToolTrace.h"

#include <string>

#include "RKToolText.h"

void CRKToolTraceSink::Write(RKLogKind kind, const unsigned short* text)
{
    // Called from inside the library: nothing may escape.
    try
    {
        int nDepth;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (kind == RKLOG_EXIT && m_nDepth > 0)
                --m_nDepth;
            nDepth = m_nDepth;
            if (kind == RKLOG_ENTER)
                ++m_nDepth;
        }
        m_console.Err(std::string(static_cast<std::string::size_type>(nDepth) * 2, ' ') + RKLogKindTag(kind) +
                      RKToolUtf8(text));
    }
    catch (...)
    {
    }
}

CRKToolTraceScope::CRKToolTraceScope(CRKToolConsole& console, bool bEnabled)
    : m_sink(console), m_bEnabled(bEnabled)
{
    if (m_bEnabled)
        CRKLog::GetInstance()->SetSink(&m_sink);
}

CRKToolTraceScope::~CRKToolTraceScope()
{
    if (m_bEnabled)
        CRKLog::GetInstance()->SetSink(nullptr);
}
