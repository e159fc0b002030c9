// The kernel's device events (uevents) as Linux sends them on its netlink
// socket, read for what they say of a disk's media: pure computation on
// the bytes received, no system calls, so that a fuzzer reaches it.
//
// A kernel event is "ACTION@DEVPATH", then KEY=VALUE fields, each ended by
// a zero byte ("change@/devices/.../block/sr0", "ACTION=change",
// "SUBSYSTEM=block", "DEVNAME=sr0", "DISK_EJECT_REQUEST=1", ...). The parser
// never reads past the bytes it is given; a last field without its zero
// byte ends where they end.
#ifndef RKSCUEVENT_H
#define RKSCUEVENT_H

#include <cstddef>
#include <cstdint>
#include <string>

struct RKScUevent
{
    // A kernel event whose header and fields could be read; strProblem
    // says why not otherwise, and nothing else is set.
    bool bOk = false;
    std::string strAction;      // "change", "add", "remove", ...
    std::string strSubsystem;   // "block" for a disk
    std::string strDevName;     // the node under /dev: "sr0"
    bool bMediaChange = false;  // DISK_MEDIA_CHANGE=1: the medium changed
    bool bEjectRequest = false; // DISK_EJECT_REQUEST=1: the drive's button was pressed
    std::string strProblem;
};

// The longest event the kernel sends, header included; what lies beyond is
// no event of a disk.
const std::size_t RKSC_UEVENT_MAX = 8192;

RKScUevent RKScParseUevent(const std::uint8_t* pbData, std::size_t nLength);

#endif
