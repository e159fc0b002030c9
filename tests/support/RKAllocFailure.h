// Makes large allocations fail on demand, for the paths that must survive
// running out of memory. Linking RKAllocFailure.cpp replaces the global
// allocation functions of the whole test program, the library included.
#ifndef RKALLOCFAILURE_H
#define RKALLOCFAILURE_H

#include <cstddef>

// From now on every allocation of at least nBytes fails; 0 lets all pass.
void RKTestFailAllocationsFrom(std::size_t nBytes);
// Whether the replacement is in force: a memory checker that replaces the
// allocation functions itself (valgrind) takes it out.
bool RKTestCanFailAllocations();

// Fails large allocations while it lives.
class CRKAllocFailure
{
public:
    explicit CRKAllocFailure(std::size_t nBytes) { RKTestFailAllocationsFrom(nBytes); }
    ~CRKAllocFailure() { RKTestFailAllocationsFrom(0); }
    CRKAllocFailure(const CRKAllocFailure&) = delete;
    CRKAllocFailure& operator=(const CRKAllocFailure&) = delete;
};

#endif
