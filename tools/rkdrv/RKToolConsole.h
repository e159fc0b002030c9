// All of the tool's output: results on stdout, diagnostics, trace and the
// wait's progress on stderr. One lock keeps the lines whole, whichever
// thread writes them.
#ifndef RKTOOLCONSOLE_H
#define RKTOOLCONSOLE_H

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

class CRKToolConsole
{
public:
    CRKToolConsole();

    // Progress on a terminal is one line rewritten in place; elsewhere
    // each status is a line of its own.
    bool IsTerminal() const { return m_bTerminal; }

    // A line of the result, on stdout. Nothing is written in JSON mode
    // except through PrintDocument.
    void Out(const std::string& strLine);
    // A diagnostic line on stderr ("rkdrv: ..." is the caller's to add).
    void Err(const std::string& strLine);
    // The JSON document, on stdout, whole.
    void PrintDocument(const std::string& strDocument);

    // Terminal: replaces the progress line. Elsewhere: writes it as a line.
    void Status(const std::string& strLine);
    // Ends the progress line: the last status stays on screen.
    void EndStatus();

    void SetJson(bool bJson) { m_bJson = bJson; }
    bool IsJson() const { return m_bJson; }

private:
    // One whole line, below the progress line.
    void Line(std::FILE* pFile, const std::string& strLine);
    // Callers hold m_mutex.
    void ClearStatusLocked();
    void DrawStatusLocked();

    std::mutex m_mutex;
    bool m_bTerminal;
    bool m_bJson = false;
    bool m_bStatusShown = false;
    std::string m_strStatus;
    std::size_t m_nDrawnLength = 0;
};

#endif
