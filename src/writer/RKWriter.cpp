#include "RKWriter.h"

CRKWriter::CRKWriter() : m_pCallBack(&m_DefaultCallBack)
{
    // Drive letter and supported media are the engine's to store.
}

CRKWriter::CRKWriter(const CRKWriter& wrOther)
    : CRKBaseObject(wrOther), m_pCallBack(wrOther.m_pCallBack), m_strModelName(wrOther.m_strModelName),
      m_wDriveLetter(wrOther.m_wDriveLetter), m_dwSupportedMedia(wrOther.m_dwSupportedMedia)
{
    // A source reporting to its own default callback would tie the copy to
    // the source's lifetime; every default answers alike, so use our own.
    if (m_pCallBack == &wrOther.m_DefaultCallBack)
        m_pCallBack = &m_DefaultCallBack;
}

CRKWriter& CRKWriter::operator=(const CRKWriter& wrOther)
{
    CRKBaseObject::operator=(wrOther);
    m_pCallBack =
        wrOther.m_pCallBack == &wrOther.m_DefaultCallBack ? &m_DefaultCallBack : wrOther.m_pCallBack;
    m_strModelName = wrOther.m_strModelName;
    m_wDriveLetter = wrOther.m_wDriveLetter;
    m_dwSupportedMedia = wrOther.m_dwSupportedMedia;
    return *this;
}

CRKWriter::~CRKWriter() {}

int CRKWriter::Dump()
{
    SetError(0x10FFFFFF);
    return 0;
}

const unsigned short* CRKWriter::GetModelName()
{
    return m_strModelName;
}

WORD CRKWriter::GetDriveLetter()
{
    return m_wDriveLetter;
}

DWORD CRKWriter::GetSupportedMedia()
{
    return m_dwSupportedMedia;
}

void CRKWriter::SetCallBack(CRKWriterCallBack* pCallBack)
{
    m_pCallBack = pCallBack ? pCallBack : &m_DefaultCallBack;
}

int CRKWriter::CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info)
{
    return m_pCallBack->CallBack(dwType, info);
}
