// Captures the trace records written while it lives, as UTF-8 lines.
#ifndef RKSCTESTTRACE_H
#define RKSCTESTTRACE_H

#include <ostream>
#include <string>
#include <vector>

#include "RKLog.h"

struct RKScTraceLine
{
    RKLogKind eKind;
    std::string strText;

    bool operator==(const RKScTraceLine& stOther) const
    {
        return eKind == stOther.eKind && strText == stOther.strText;
    }
};

inline void PrintTo(const RKScTraceLine& stLine, std::ostream* pOut)
{
    static const char* const s_aszKinds[] = {"Enter", "Exit", "Step", "Info", "Error", "Variable"};
    *pOut << s_aszKinds[stLine.eKind] << "(\"" << stLine.strText << "\")";
}

inline RKScTraceLine Info(const std::string& strText)
{
    return {RKLOG_INFO, strText};
}
inline RKScTraceLine Error(const std::string& strText)
{
    return {RKLOG_ERROR, strText};
}

class CRKScTraceCapture : public CRKLogSink
{
public:
    CRKScTraceCapture() { CRKLog::GetInstance()->SetSink(this); }
    ~CRKScTraceCapture() override { CRKLog::GetInstance()->SetSink(nullptr); }

    void Write(RKLogKind eKind, const unsigned short* szText) override
    {
        // The engine writes Latin-1 at most.
        std::string strText;
        for (; szText && *szText; ++szText)
        {
            if (*szText < 0x80)
                strText += static_cast<char>(*szText);
            else
            {
                strText += static_cast<char>(0xC0 | (*szText >> 6));
                strText += static_cast<char>(0x80 | (*szText & 0x3F));
            }
        }
        vecLines.push_back({eKind, strText});
    }

    // The lines of one kind, in order.
    std::vector<std::string> Of(RKLogKind eKind) const
    {
        std::vector<std::string> vecTexts;
        for (const RKScTraceLine& stLine : vecLines)
        {
            if (stLine.eKind == eKind)
                vecTexts.push_back(stLine.strText);
        }
        return vecTexts;
    }

    std::vector<RKScTraceLine> vecLines;
};

#endif
