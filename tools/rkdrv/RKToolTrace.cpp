#include "RKToolTrace.h"

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
            if (kind == RKLOG_ERROR)
            {
                ++m_nErrors;
                m_strLastError = RKToolUtf8(text);
            }
        }
        if (m_bPrint)
            m_console.Err(std::string(static_cast<std::string::size_type>(nDepth) * 2, ' ') +
                          RKLogKindTag(kind) + RKToolUtf8(text));
    }
    catch (...)
    {
    }
}

int CRKToolTraceSink::ErrorCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nErrors;
}

std::string CRKToolTraceSink::LastError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLastError;
}

CRKToolTraceScope::CRKToolTraceScope(CRKToolConsole& console, bool bPrint) : m_sink(console, bPrint)
{
    CRKLog::GetInstance()->SetSink(&m_sink);
}

CRKToolTraceScope::~CRKToolTraceScope()
{
    CRKLog::GetInstance()->SetSink(nullptr);
}
