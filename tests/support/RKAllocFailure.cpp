#include "RKAllocFailure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<std::size_t> s_nFailFrom{0};
} // namespace

void RKTestFailAllocationsFrom(std::size_t nBytes)
{
    s_nFailFrom.store(nBytes);
}

void* operator new(std::size_t nBytes)
{
    std::size_t nFailFrom = s_nFailFrom.load();
    if (nFailFrom != 0 && nBytes >= nFailFrom)
        throw std::bad_alloc();
    if (void* pBlock = std::malloc(nBytes ? nBytes : 1))
        return pBlock;
    throw std::bad_alloc();
}

void* operator new[](std::size_t nBytes)
{
    return ::operator new(nBytes);
}

void operator delete(void* pBlock) noexcept
{
    std::free(pBlock);
}

void operator delete[](void* pBlock) noexcept
{
    std::free(pBlock);
}

void operator delete(void* pBlock, std::size_t) noexcept
{
    std::free(pBlock);
}

void operator delete[](void* pBlock, std::size_t) noexcept
{
    std::free(pBlock);
}
