// Internal entry points that only a test build of the library exports, so
// that tests can reach the operating-system seam and the text helpers while
// the shipping library exports its public interface alone.
#ifndef RKSEAMEXPORT_H
#define RKSEAMEXPORT_H

#include "RKExport.h"

#if defined(RKDRV_TEST_SEAM)
#define RKDRV_SEAM_API RKDRV_API
#else
#define RKDRV_SEAM_API
#endif

#endif
