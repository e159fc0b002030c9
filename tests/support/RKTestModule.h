// Platform facts the tests need: where a test engine's file is, whether a
// module is loaded in this process, and the process environment.
#ifndef RKTESTMODULE_H
#define RKTESTMODULE_H

#include <string>
#include <vector>

// The file of engine szName ("RKDRVCL") in engine set szSet.
std::string RKTestEngineFile(const char* szSet, const char* szName);
// The folder of engine set szSet, with a trailing separator.
std::string RKTestEngineFolder(const char* szSet);
// Whether the module at that path is loaded (without loading it).
bool RKTestIsModuleLoaded(const std::string& strPath);
// The handle of the module at that path when it is loaded, else null.
void* RKTestModuleHandle(const std::string& strPath);
// Whether the system's ordinary module search reaches engine set szSet.
bool RKTestOrdinarySearchReaches(const char* szSet);
// A file in the running test program's own folder.
std::string RKTestProgramFile(const char* szName);
// Loads and frees a module by path, as a host would.
void* RKTestLoadModule(const std::string& strPath);
void RKTestFreeModule(void* hModule);
// Runs a program with arguments and waits; its exit code, or -1.
int RKTestRunProgram(const std::string& strPath, const std::vector<std::string>& vecArgs);
// Starts a program with arguments; null when it cannot start. Every started
// program must be waited for.
void* RKTestStartProgram(const std::string& strPath, const std::vector<std::string>& vecArgs);
// Waits for a started program; its exit code, or -1.
int RKTestWaitProgram(void* hProgram);
// Whether files and programs work beyond 259 characters of path here.
bool RKTestLongPathsUsable();
// How a text-mode file ends its lines here.
const char* RKTestNativeLineEnd();
// Makes the test engines of this process count into pProbe; null stops it.
struct RKTestProbe;
void RKTestPublishProbe(RKTestProbe* pProbe);
// Sets an environment variable of this process; null removes it.
void RKTestSetEnv(const char* szName, const char* szValue);

#endif
