// CRKDRVManager: one burning engine's view of the drives. Engines derive
// from it; the virtual order and the field order are a binary contract.
#ifndef RKDRVMANAGER_H
#define RKDRVMANAGER_H

#include <vector>

#include "RKBaseObject.h"
#include "RKExport.h"
#include "RKMediaInfo.h"
#include "RKTypes.h"
#include "RKWriter.h"
#include "RKWriterCallBack.h"

class RKDRV_API CRKDRVManager : public CRKBaseObject
{
public:
    CRKDRVManager();
    // Copies pointers: both managers then list the same writers, and only
    // one of them may ever clear its table or be destroyed.
    CRKDRVManager(const CRKDRVManager& mgrOther);
    CRKDRVManager& operator=(const CRKDRVManager& mgrOther);

    // Virtual order: do not reorder, insert or remove.
    virtual ~CRKDRVManager() = 0;
    int Dump() override;
    virtual int EnumerateWriters() = 0;
    virtual int Initialize() = 0;
    virtual int EngineReserved() = 0;
    virtual int Release() = 0;
    virtual int WaitMedia(RKMediaInfo& stMediaInfo, DWORD& dwIndex);
    virtual int Refresh();

    int IsValid();
    HINSTANCE GetModule();
    void SetModule(HINSTANCE hModule);

    // Destroys every listed writer through its virtual destructor and
    // empties the table; null placeholders are passed over.
    void ClearWriters();

    // Entries, null placeholders included.
    int GetNbWriter();
    // The entry at dwIndex (possibly a null placeholder), or null.
    CRKWriter* GetWriter(DWORD dwIndex);
    // The lowest-indexed writer whose letter equals wLetter exactly; the
    // index is written only when a writer is returned.
    CRKWriter* GetWriterFromLetter(WORD wLetter, unsigned int& uIndex);
    // Installs a non-null callback on every listed writer; null does nothing.
    void SetCallBack(CRKWriterCallBack* pCallBack);

    // Rearranges the table to follow vecEngines: one entry per nonzero
    // letter (its writer, or a null placeholder), then the writers no letter
    // took, in their previous order. Only pointers move. Always 0; when
    // memory runs out the table is left as it was.
    int ReorderEngineVector(const std::vector<WORD>& vecEngines);

protected:
    // Field order: do not reorder. Engines fill m_vecWriters and m_bValid.
    std::vector<CRKWriter*> m_vecWriters;
    int m_bValid;
    HINSTANCE m_hModule;
};

#endif
