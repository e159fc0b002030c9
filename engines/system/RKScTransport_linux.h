// The Linux transport with the folders it reads made explicit, so that a
// test can point it at a tree of its own.
#ifndef RKSCTRANSPORT_LINUX_H
#define RKSCTRANSPORT_LINUX_H

#include <memory>
#include <string>

#include "RKScTransport.h"

struct RKScLinuxFolders
{
    std::string strSysfs = "/sys";
    std::string strDev = "/dev";
    // Empty: the library's folder rule, read at every listing
    // ($RKDRV_DOSDEVICES, else $WINEPREFIX/dosdevices, else
    // $HOME/.wine/dosdevices).
    std::string strDosDevices;
};

std::shared_ptr<CRKScTransport> RKScCreateLinuxTransport(const RKScLinuxFolders& stFolders);

// The dosdevices folder by the library's rule, read now; empty when none
// of the variables is set.
std::string RKScDosDevicesFolder();

#endif
