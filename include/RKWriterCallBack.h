// The callback interface through which writers report media waits.
#ifndef RKWRITERCALLBACK_H
#define RKWRITERCALLBACK_H

#include "RKExport.h"
#include "RKTypes.h"

// The record handed by reference to every report of one wait. The library
// writes only step; the other words are the host's to use.
struct RKDRV_API RKWRITERCALLBACKINFO
{
    RKWRITERCALLBACKINFO();

    int step;
    DWORD dwData[5];
};

// The dwType of every report that a media wait makes.
enum
{
    RKCALLBACK_TYPE_MEDIA = 1
};

// Step codes of RKWRITERCALLBACKINFO::step.
enum
{
    RKSTEP_POLL = 0,     // wait across drives: each poll
    RKSTEP_STARTED = 1,  // wait on one drive: before the first poll
    RKSTEP_WAITING = 2,  // wait on one drive: each poll of an empty drive
    RKSTEP_END = 4,      // both waits: ended without a stop
    RKSTEP_CANCELLED = 5 // both waits: ended because the callback answered 0
};

// Implemented by hosts. Answer nonzero to go on, 0 to stop. Held by pointer
// only: the library never deletes or copies a callback.
class CRKWriterCallBack
{
public:
    virtual int CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info) = 0;
};

// Every writer's built-in callback: always answers 1.
class RKDRV_API CRKDefaultWriterCallBack : public CRKWriterCallBack
{
public:
    CRKDefaultWriterCallBack();
    CRKDefaultWriterCallBack(const CRKDefaultWriterCallBack& cbOther);
    CRKDefaultWriterCallBack& operator=(const CRKDefaultWriterCallBack& cbOther);

    int CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info) override;
};

#endif
