// The trace file's lifetime, tied to the module's: the variable that names
// it is read once, when the module attaches, and the file stays open until
// the module detaches.
#ifndef RKLOGFILE_H
#define RKLOGFILE_H

// Opens the file that RKDRV_TRACE_FILE names, if any, for appending.
void RKLogOpenTraceFile();
// Closes it; records written afterwards go to the sink alone.
void RKLogCloseTraceFile();

#endif
