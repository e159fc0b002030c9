// Captures the trace lines written while it lives, each as its kind's
// letter, a blank and its text: "> " enter, "< " exit, "I " info, "E " error.
#ifndef RKSCTESTTRACE_H
#define RKSCTESTTRACE_H

#include <string>
#include <vector>

#include "RKLog.h"
#include "RKUtf8.h"

typedef std::vector<std::string> RKScLines;

inline std::string RKScText(const unsigned short* szText)
{
    return RKTextToUtf8(szText);
}

class CRKScTraceCapture : public CRKLogSink
{
public:
    CRKScTraceCapture() { CRKLog::GetInstance()->SetSink(this); }
    ~CRKScTraceCapture() override { CRKLog::GetInstance()->SetSink(nullptr); }
    void Write(RKLogKind eKind, const unsigned short* szText) override
    {
        vecLines.push_back(std::string(1, "><SIEV"[eKind]) + " " + RKScText(szText));
    }
    // The lines of one kind ('I', 'E'), texts only.
    RKScLines Of(char cKind) const
    {
        RKScLines vecTexts;
        for (const std::string& strLine : vecLines)
        {
            if (strLine[0] == cKind)
                vecTexts.push_back(strLine.substr(2));
        }
        return vecTexts;
    }

    RKScLines vecLines;
};

#endif
