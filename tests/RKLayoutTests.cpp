// The binary contract with engines built apart: field order, field offsets
// on 64-bit targets, and the virtual order.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "RKDRV.h"
#include "RKFakeEngine.h"

namespace
{
template <typename T> std::ptrdiff_t OffsetIn(const void* pObject, const T& member)
{
    return reinterpret_cast<const char*>(&member) - static_cast<const char*>(pObject);
}

class CRKLayoutWriter : public CRKFakeWriter
{
public:
    CRKLayoutWriter() : CRKFakeWriter('E') {}
    std::ptrdiff_t Error() const { return OffsetIn(static_cast<const CRKWriter*>(this), m_Error); }
    std::ptrdiff_t CallBack() const { return OffsetIn(static_cast<const CRKWriter*>(this), m_pCallBack); }
    std::ptrdiff_t Default() const
    {
        return OffsetIn(static_cast<const CRKWriter*>(this), m_DefaultCallBack);
    }
    std::ptrdiff_t Model() const { return OffsetIn(static_cast<const CRKWriter*>(this), m_strModelName); }
    std::ptrdiff_t Letter() const { return OffsetIn(static_cast<const CRKWriter*>(this), m_wDriveLetter); }
    std::ptrdiff_t Media() const { return OffsetIn(static_cast<const CRKWriter*>(this), m_dwSupportedMedia); }
};

class CRKLayoutManager : public CRKFakeManager
{
public:
    std::ptrdiff_t Error() const { return OffsetIn(static_cast<const CRKDRVManager*>(this), m_Error); }
    std::ptrdiff_t Writers() const { return OffsetIn(static_cast<const CRKDRVManager*>(this), m_vecWriters); }
    std::ptrdiff_t Valid() const { return OffsetIn(static_cast<const CRKDRVManager*>(this), m_bValid); }
    std::ptrdiff_t Module() const { return OffsetIn(static_cast<const CRKDRVManager*>(this), m_hModule); }
};

// With the Itanium C++ ABI (GCC and Clang, MinGW included) a pointer to a
// virtual member holds 1 + the byte offset of its slot. The destructor
// takes two slots, so the slot index equals the 1-based order position
// for every operation after it.
template <typename T> std::size_t Slot(T pmf)
{
    struct
    {
        std::uintptr_t uPtr;
        std::ptrdiff_t nAdjust;
    } rep;
    static_assert(sizeof(pmf) == sizeof(rep), "Itanium member pointer");
    std::memcpy(&rep, &pmf, sizeof(rep));
    return (rep.uPtr - 1) / sizeof(void*);
}
} // namespace

TEST(RKLayout, WriterFieldsInContractOrder)
{
    CRKLayoutWriter writer;
    EXPECT_LT(writer.Error(), writer.CallBack());
    EXPECT_LT(writer.CallBack(), writer.Default());
    EXPECT_LT(writer.Default(), writer.Model());
    EXPECT_LT(writer.Model(), writer.Letter());
    EXPECT_LT(writer.Letter(), writer.Media());
    if (sizeof(void*) != 8)
        GTEST_SKIP() << "exact offsets are fixed for 64-bit targets";
    EXPECT_EQ(8, writer.Error());
    EXPECT_EQ(24, writer.CallBack());
    EXPECT_EQ(32, writer.Default());
    EXPECT_EQ(40, writer.Model());
    EXPECT_EQ(56, writer.Letter());
    EXPECT_EQ(60, writer.Media());
    EXPECT_EQ(64u, sizeof(CRKWriter));
}

TEST(RKLayout, ManagerFieldsInContractOrder)
{
    CRKLayoutManager manager;
    EXPECT_LT(manager.Error(), manager.Writers());
    EXPECT_LT(manager.Writers(), manager.Valid());
    EXPECT_LT(manager.Valid(), manager.Module());
    if (sizeof(void*) != 8)
        GTEST_SKIP() << "exact offsets are fixed for 64-bit targets";
    EXPECT_EQ(8, manager.Error());
    EXPECT_EQ(24, manager.Writers());
    EXPECT_EQ(48, manager.Valid());
    EXPECT_EQ(56, manager.Module());
    EXPECT_EQ(64u, sizeof(CRKDRVManager));
}

TEST(RKLayout, ManagerVirtualOrder)
{
    EXPECT_EQ(2u, Slot(&CRKDRVManager::Dump));
    EXPECT_EQ(3u, Slot(&CRKDRVManager::EnumerateWriters));
    EXPECT_EQ(4u, Slot(&CRKDRVManager::Initialize));
    EXPECT_EQ(5u, Slot(&CRKDRVManager::EngineReserved));
    EXPECT_EQ(6u, Slot(&CRKDRVManager::Release));
    EXPECT_EQ(7u, Slot(&CRKDRVManager::WaitMedia));
    EXPECT_EQ(8u, Slot(&CRKDRVManager::Refresh));
}

TEST(RKLayout, WriterVirtualOrder)
{
    EXPECT_EQ(2u, Slot(&CRKWriter::Dump));
    EXPECT_EQ(3u, Slot(&CRKWriter::EngineReserved1));
    EXPECT_EQ(4u, Slot(&CRKWriter::EngineReserved2));
    EXPECT_EQ(5u, Slot(&CRKWriter::EngineReserved3));
    EXPECT_EQ(6u, Slot(&CRKWriter::EngineReserved4));
    EXPECT_EQ(7u, Slot(&CRKWriter::IsMediaIn));
    EXPECT_EQ(8u, Slot(static_cast<int (CRKWriter::*)(DWORD, DWORD)>(&CRKWriter::WaitMedia)));
    EXPECT_EQ(9u, Slot(&CRKWriter::GetMediaInfo));
    EXPECT_EQ(10u, Slot(&CRKWriter::EjectTray));
    EXPECT_EQ(11u, Slot(&CRKWriter::EngineReserved5));
    EXPECT_EQ(12u, Slot(&CRKWriter::EngineReserved6));
    EXPECT_EQ(13u, Slot(&CRKWriter::EngineReserved7));
    EXPECT_EQ(14u, Slot(&CRKWriter::EngineReserved8));
    EXPECT_EQ(15u, Slot(&CRKWriter::EngineReserved9));
    EXPECT_EQ(16u, Slot(&CRKWriter::EngineReserved10));
}

TEST(RKLayout, CallBackInterfaceHasOneSlot)
{
    EXPECT_EQ(0u, Slot(&CRKWriterCallBack::CallBack));
    EXPECT_EQ(sizeof(void*), sizeof(CRKDefaultWriterCallBack));
}
