// The tool's exit codes; --help and the README list the same.
#ifndef RKTOOLEXITCODES_H
#define RKTOOLEXITCODES_H

enum RKToolExitCode
{
    RKEXIT_DONE = 0,          // disc found, drive ejected, listing shown
    RKEXIT_NO_DISC = 1,       // wait ended without a disc, or with one of another --type
    RKEXIT_USAGE = 2,         // unknown option, bad letter, bad engine name
    RKEXIT_NO_ENGINE = 3,     // no engine module could be loaded
    RKEXIT_NO_DRIVE = 4,      // no such drive
    RKEXIT_ENGINE_FAILED = 5, // an engine call threw
    RKEXIT_INTERNAL = 6,      // the tool itself failed: a fault, never an outcome
    RKEXIT_INTERRUPTED = 130  // second Ctrl-C during a wait
};

#endif
