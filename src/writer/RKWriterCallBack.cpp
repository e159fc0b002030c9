#include "RKWriterCallBack.h"

RKWRITERCALLBACKINFO::RKWRITERCALLBACKINFO() : step(0), dwData{0, 0, 0, 0, 0} {}

CRKDefaultWriterCallBack::CRKDefaultWriterCallBack() {}

CRKDefaultWriterCallBack::CRKDefaultWriterCallBack(const CRKDefaultWriterCallBack&) : CRKWriterCallBack() {}

CRKDefaultWriterCallBack& CRKDefaultWriterCallBack::operator=(const CRKDefaultWriterCallBack&)
{
    return *this;
}

int CRKDefaultWriterCallBack::CallBack(DWORD, RKWRITERCALLBACKINFO&)
{
    return 1;
}
