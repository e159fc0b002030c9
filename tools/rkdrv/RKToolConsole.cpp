#include "RKToolConsole.h"

#include <cstdio>

#include "RKToolSystem.h"

CRKToolConsole::CRKToolConsole() : m_bTerminal(RKToolStderrIsTerminal()) {}

void CRKToolConsole::Out(const std::string& strLine)
{
    if (!m_bJson)
        Line(stdout, strLine);
}

void CRKToolConsole::Err(const std::string& strLine)
{
    Line(stderr, strLine);
}

void CRKToolConsole::PrintDocument(const std::string& strDocument)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fputs(strDocument.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void CRKToolConsole::Line(std::FILE* pFile, const std::string& strLine)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // stdout and stderr may be the same terminal: keep the progress line
    // below whatever is printed.
    ClearStatusLocked();
    std::fputs(strLine.c_str(), pFile);
    std::fputc('\n', pFile);
    std::fflush(pFile);
    DrawStatusLocked();
}

void CRKToolConsole::Status(const std::string& strLine)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bTerminal)
    {
        std::fprintf(stderr, "%s\n", strLine.c_str());
        std::fflush(stderr);
        return;
    }
    m_strStatus = strLine;
    m_bStatusShown = true;
    DrawStatusLocked();
}

void CRKToolConsole::EndStatus()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bTerminal && m_bStatusShown && m_nDrawnLength > 0)
    {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    m_bStatusShown = false;
    m_strStatus.clear();
    m_nDrawnLength = 0;
}

void CRKToolConsole::ClearStatusLocked()
{
    if (!m_bTerminal || m_nDrawnLength == 0)
        return;
    std::fputc('\r', stderr);
    std::fputs(std::string(m_nDrawnLength, ' ').c_str(), stderr);
    std::fputc('\r', stderr);
    std::fflush(stderr);
    m_nDrawnLength = 0;
}

void CRKToolConsole::DrawStatusLocked()
{
    if (!m_bTerminal || !m_bStatusShown)
        return;
    // A line that wraps could no longer be rewritten in place.
    std::string strLine = m_strStatus;
    int nColumns = RKToolTerminalColumns();
    if (nColumns > 1 && strLine.size() > static_cast<std::size_t>(nColumns - 1))
    {
        std::size_t nKeep = static_cast<std::size_t>(nColumns - 1);
        // Never cut a character in two.
        while (nKeep > 0 && (static_cast<unsigned char>(strLine[nKeep]) & 0xC0) == 0x80)
            --nKeep;
        strLine.resize(nKeep);
    }
    std::size_t nPad = m_nDrawnLength > strLine.size() ? m_nDrawnLength - strLine.size() : 0;
    std::fputc('\r', stderr);
    std::fputs(strLine.c_str(), stderr);
    std::fputs(std::string(nPad, ' ').c_str(), stderr);
    if (nPad > 0)
        std::fputs(std::string(nPad, '\b').c_str(), stderr);
    std::fflush(stderr);
    m_nDrawnLength = strLine.size();
}
