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

bool RKTestCanFailAllocations()
{
    bool bFailed = false;
    RKTestFailAllocationsFrom(1u << 20);
    try
    {
        // Kept in a volatile so that the pair is not optimised away.
        void* volatile pBlock = ::operator new(2u << 20);
        ::operator delete(pBlock);
    }
    catch (const std::bad_alloc&)
    {
        bFailed = true;
    }
    RKTestFailAllocationsFrom(0);
    return bFailed;
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

void* operator new(std::size_t nBytes, const std::nothrow_t&) noexcept
{
    try
    {
        return ::operator new(nBytes);
    }
    catch (...)
    {
        return nullptr;
    }
}

void* operator new[](std::size_t nBytes, const std::nothrow_t&) noexcept
{
    return ::operator new(nBytes, std::nothrow);
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

void operator delete(void* pBlock, const std::nothrow_t&) noexcept
{
    std::free(pBlock);
}

void operator delete[](void* pBlock, const std::nothrow_t&) noexcept
{
    std::free(pBlock);
}
