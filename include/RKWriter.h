// CRKWriter: one optical drive. Engines derive from it; the virtual order
// and the field order are a binary contract with them.
#ifndef RKWRITER_H
#define RKWRITER_H

#include "RKBaseObject.h"
#include "RKExport.h"
#include "RKMediaInfo.h"
#include "RKString.h"
#include "RKTypes.h"
#include "RKWriterCallBack.h"

class RKDRV_API CRKWriter : public CRKBaseObject
{
public:
    CRKWriter();
    CRKWriter(const CRKWriter& wrOther);
    CRKWriter& operator=(const CRKWriter& wrOther);

    // Virtual order: do not reorder, insert or remove.
    virtual ~CRKWriter() = 0;
    int Dump() override;
    virtual int EngineReserved1() = 0;
    virtual int EngineReserved2() = 0;
    virtual int EngineReserved3() = 0;
    virtual int EngineReserved4() = 0;
    virtual int IsMediaIn();
    virtual int WaitMedia(DWORD dwMediaType, DWORD dwDiscType);
    virtual RKMediaInfo GetMediaInfo() = 0;
    virtual int EjectTray() = 0;
    virtual int EngineReserved5() = 0;
    virtual int EngineReserved6() = 0;
    virtual int EngineReserved7() = 0;
    virtual int EngineReserved8() = 0;
    virtual int EngineReserved9() = 0;
    virtual int EngineReserved10() = 0;

    // Blocks until a disc is in the drive or the callback answers 0;
    // returns what GetMediaInfo gave at the end.
    RKMediaInfo WaitMedia();

    const unsigned short* GetModelName();
    WORD GetDriveLetter();
    DWORD GetSupportedMedia();

    // Non-null: the host callback becomes active (not owned). Null: the
    // writer's own default callback becomes active again.
    void SetCallBack(CRKWriterCallBack* pCallBack);
    // Hands the report to the active callback and returns its answer.
    int CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info);

protected:
    // Field order: do not reorder. Engines write the last three directly.
    CRKWriterCallBack* m_pCallBack;
    CRKDefaultWriterCallBack m_DefaultCallBack;
    CRKString m_strModelName;
    WORD m_wDriveLetter;
    DWORD m_dwSupportedMedia;
};

#endif
