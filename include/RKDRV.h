// The whole public interface of RKDRV.
#ifndef RKDRV_H
#define RKDRV_H

#include "RKBaseObject.h"
#include "RKDRVFunctions.h"
#include "RKDRVManager.h"
#include "RKDosDevices.h"
#include "RKError.h"
#include "RKExport.h"
#include "RKLog.h"
#include "RKMediaInfo.h"
#include "RKString.h"
#include "RKTypes.h"
#include "RKUtf8.h"
#include "RKWatch.h"
#include "RKWriter.h"
#include "RKWriterCallBack.h"
#include "RKWriterDetails.h"

#endif
