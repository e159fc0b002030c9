// The local log file: written once when the module attaches to a process,
// and only when a marker file stands beside the host executable.
#ifndef RKLOCALLOG_H
#define RKLOCALLOG_H

// With "RK_LOG.INI" beside the host executable, replaces "RKDRV.log" there
// with this module's path and version, and keeps it open until detach.
void RKLocalLogAttach();
// Closes the log if attach opened it.
void RKLocalLogDetach();

#endif
