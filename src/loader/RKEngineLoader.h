// Loading one engine module and calling its factory.
#ifndef RKENGINELOADER_H
#define RKENGINELOADER_H

#include "RKDRVManager.h"
#include "RKString.h"

// Loads the named module, calls its factory and stores the module handle in
// the manager it returns. Null when the module does not load, lacks the
// factory, or the factory yields nothing; such a module stays loaded.
CRKDRVManager* RKLoadEngine(CRKString strModuleName);

#endif
