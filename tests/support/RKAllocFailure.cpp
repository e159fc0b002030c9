#include "RKAllocFailure.h"

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <new>
#include <vector>

#include "RKTextUtil.h"

namespace
{
std::atomic<std::size_t> s_nFailFrom{0};

void CallFormat(RKText& strOut, const unsigned short* szFormat, ...)
{
    va_list vaArgs;
    va_start(vaArgs, szFormat);
    RKFormatV(strOut, szFormat, vaArgs);
    va_end(vaArgs);
}
} // namespace

void RKTestFailAllocationsFrom(std::size_t nBytes)
{
    s_nFailFrom.store(nBytes);
}

bool RKTestCanFailAllocations()
{
    // A text long enough that copying it needs a block above the limit.
    std::vector<unsigned short> vecText((2u << 20) / sizeof(unsigned short), 'x');
    vecText.back() = 0;
    bool bFailed = false;
    bool bLibraryFailed = false;
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
    // Where every module carries its own C++ runtime (Windows), the library
    // allocates with its own functions, out of this replacement's reach.
    try
    {
        RKText strOut;
        CallFormat(strOut, vecText.data());
    }
    catch (const std::bad_alloc&)
    {
        bLibraryFailed = true;
    }
    RKTestFailAllocationsFrom(0);
    return bFailed && bLibraryFailed;
}

// These replacements are the one allocator of the program: new takes from
// malloc and delete gives back to free. They are never inlined, so that a
// memory checker that puts its own operators in their place sees every call
// reach them, and the compiler never pairs a new with an inlined free.

[[gnu::noinline]] void* operator new(std::size_t nBytes)
{
    std::size_t nFailFrom = s_nFailFrom.load();
    if (nFailFrom != 0 && nBytes >= nFailFrom)
        throw std::bad_alloc();
    if (void* pBlock = std::malloc(nBytes ? nBytes : 1))
        return pBlock;
    throw std::bad_alloc();
}

[[gnu::noinline]] void* operator new[](std::size_t nBytes)
{
    return ::operator new(nBytes);
}

[[gnu::noinline]] void* operator new(std::size_t nBytes, const std::nothrow_t&) noexcept
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

[[gnu::noinline]] void* operator new[](std::size_t nBytes, const std::nothrow_t&) noexcept
{
    return ::operator new(nBytes, std::nothrow);
}

[[gnu::noinline]] void operator delete(void* pBlock) noexcept
{
    std::free(pBlock);
}

[[gnu::noinline]] void operator delete[](void* pBlock) noexcept
{
    std::free(pBlock);
}

[[gnu::noinline]] void operator delete(void* pBlock, std::size_t) noexcept
{
    std::free(pBlock);
}

[[gnu::noinline]] void operator delete[](void* pBlock, std::size_t) noexcept
{
    std::free(pBlock);
}

[[gnu::noinline]] void operator delete(void* pBlock, const std::nothrow_t&) noexcept
{
    std::free(pBlock);
}

[[gnu::noinline]] void operator delete[](void* pBlock, const std::nothrow_t&) noexcept
{
    std::free(pBlock);
}
