// Engine loading from one engine set's folder, for tests that choose which
// engines exist: the seam's module load is replaced by one that puts the
// folder before the name.
#ifndef RKTESTFOLDERLOAD_H
#define RKTESTFOLDERLOAD_H

#include <string>
#include <vector>

struct RKTestProbe;

// From now on engines load from szSet's folder. Each unload, and each load
// when bLoadEvents is set, adds "os:free;" or "os:load;" to pProbe's event
// list (when pProbe is given); every name asked for is appended to
// *pvecNames (when given). An empty name goes to the backend unchanged.
// RKOsSetCalls(nullptr) ends it.
void RKTestLoadEnginesFrom(const char* szSet, RKTestProbe* pProbe,
                           std::vector<std::string>* pvecNames = nullptr, bool bLoadEvents = true);

#endif
