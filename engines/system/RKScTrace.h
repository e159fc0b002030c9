// The engine's trace lines, written through the library's log. Lines about
// one drive start with its device: "/dev/sr0: tray opened". Lines are
// UTF-8, as the system's texts and paths they quote are.
#ifndef RKSCTRACE_H
#define RKSCTRACE_H

#include <string>

void RKScTraceInfo(const std::string& strLine);
void RKScTraceError(const std::string& strLine);
// For the catch blocks of the engine's entry points: "<szWhere>: out of
// memory" or "<szWhere>: unexpected failure", written without allocating
// anything in the engine.
void RKScTraceFailure(const unsigned short* szWhere, bool bOutOfMemory);

#endif
