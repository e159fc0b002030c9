// The Linux transport with the folders it reads and the system calls it
// makes on drives made explicit, so that a test can point it at a tree of
// its own and answer the calls itself.
#ifndef RKSCTRANSPORT_LINUX_H
#define RKSCTRANSPORT_LINUX_H

#include <sys/stat.h>
#include <sys/types.h>

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

// Every system call the transport makes on a drive and its sysfs links. A
// replacement behaves as the system call does: -1 with errno on failure.
struct RKScLinuxCalls
{
    int (*pfnOpen)(const char* szPath, int nFlags);
    int (*pfnClose)(int nFd);
    // ioctl with its one argument: the address of a request (SG_IO) or a
    // number (CDROM_DRIVE_STATUS, CDROMEJECT).
    int (*pfnIoctl)(int nFd, unsigned long ulRequest, unsigned long ulArgument);
    int (*pfnFstat)(int nFd, struct stat* pstInfo);
    int (*pfnStat)(const char* szPath, struct stat* pstInfo);
    ssize_t (*pfnReadlink)(const char* szPath, char* szBuffer, size_t nSize);
    void (*pfnSleep)(unsigned int uMilliseconds);
    // A non-blocking socket of the kernel's own device events (uevents).
    int (*pfnOpenUevents)();
    // One event from it without waiting (-1 and EAGAIN when none waits),
    // and who sent it (*puSender; 0 is the kernel).
    ssize_t (*pfnReceiveUevent)(int nFd, void* pBuffer, size_t nSize, unsigned int* puSender);
};

// The system's own calls.
const RKScLinuxCalls& RKScLinuxSystemCalls();

std::shared_ptr<CRKScTransport> RKScCreateLinuxTransport(const RKScLinuxFolders& stFolders);
// The transport over these calls; it keeps its own copy of the table.
std::shared_ptr<CRKScTransport> RKScCreateLinuxTransport(const RKScLinuxFolders& stFolders,
                                                         const RKScLinuxCalls& stCalls);

// The dosdevices folder by the library's rule, read now; empty when none
// of the variables is set.
std::string RKScDosDevicesFolder();

#endif
