// CRKScManager: every optical drive of the system, one CRKScWriter each, in
// the system's device order.
#ifndef RKSCMANAGER_H
#define RKSCMANAGER_H

#include <memory>
#include <vector>

#include "RKDRVManager.h"
#include "RKScTransport.h"

// The letter of each drive of stList, in its order: the system's letter
// where it gives one, else the first letter from D on that nothing uses
// and no earlier drive got; 0 once the letters run out.
std::vector<WORD> RKScAssignLetters(const RKScDriveList& stList);

class CRKScManager : public CRKDRVManager
{
public:
    // Lists the drives at once: a host that asks for any engine never
    // calls Initialize.
    explicit CRKScManager(std::shared_ptr<CRKScTransport> pTransport);
    ~CRKScManager() override;
    CRKScManager(const CRKScManager&) = delete;
    CRKScManager& operator=(const CRKScManager&) = delete;

    // Lists the drives afresh (writers listed before are destroyed first);
    // returns how many it listed. IsValid() is 1 when the system's list
    // could be read, 0 otherwise.
    int EnumerateWriters() override;
    // The constructor listed the drives already; nothing to do.
    int Initialize() override;
    int EngineReserved() override { return 0; }
    int Release() override;

private:
    int ListWriters();

    std::shared_ptr<CRKScTransport> m_pTransport;
};

#endif
