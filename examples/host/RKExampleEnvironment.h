// The one operating-system call the example host needs, one file per system.
#ifndef RKEXAMPLEENVIRONMENT_H
#define RKEXAMPLEENVIRONMENT_H

// Sets a variable of the process environment, which engines loaded into
// the process read; a null value removes it. False when it failed.
bool RKExampleSetEnvironment(const char* szName, const char* szValue);

#endif
