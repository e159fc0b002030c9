// Command blocks, byte by byte as MMC lays them out.
#include <cstring>

#include "RKScMmc.h"

namespace
{
RKScCdb EmptyCdb(std::uint8_t bOperation, std::size_t nLength)
{
    RKScCdb stCdb;
    std::memset(stCdb.abBytes, 0, sizeof(stCdb.abBytes));
    stCdb.abBytes[0] = bOperation;
    stCdb.nLength = nLength;
    return stCdb;
}

void PutWord(std::uint8_t* pbAt, WORD wValue)
{
    pbAt[0] = static_cast<std::uint8_t>(wValue >> 8);
    pbAt[1] = static_cast<std::uint8_t>(wValue & 0xFF);
}
} // namespace

RKScCdb RKScTestUnitReadyCdb()
{
    return EmptyCdb(RKSC_OP_TEST_UNIT_READY, 6);
}

RKScCdb RKScInquiryCdb(WORD wAllocation)
{
    // Bytes 3-4 hold the allocation length; drives older than SPC-3 read
    // byte 4 alone, which is the same value for lengths below 256.
    RKScCdb stCdb = EmptyCdb(RKSC_OP_INQUIRY, 6);
    PutWord(stCdb.abBytes + 3, wAllocation);
    return stCdb;
}

RKScCdb RKScGetConfigurationCdb(std::uint8_t bRequestType, WORD wStartFeature, WORD wAllocation)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_GET_CONFIGURATION, 10);
    stCdb.abBytes[1] = static_cast<std::uint8_t>(bRequestType & 0x03);
    PutWord(stCdb.abBytes + 2, wStartFeature);
    PutWord(stCdb.abBytes + 7, wAllocation);
    return stCdb;
}

RKScCdb RKScReadDiscInformationCdb(WORD wAllocation)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_READ_DISC_INFORMATION, 10);
    PutWord(stCdb.abBytes + 7, wAllocation);
    return stCdb;
}

RKScCdb RKScMediaEventCdb(WORD wAllocation)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_GET_EVENT_STATUS, 10);
    stCdb.abBytes[1] = 0x01; // polled: asynchronous notification is not wanted
    stCdb.abBytes[4] = 0x10; // class 4, media
    PutWord(stCdb.abBytes + 7, wAllocation);
    return stCdb;
}

RKScCdb RKScReadTocCdb(std::uint8_t bFormat, WORD wAllocation)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_READ_TOC, 10);
    stCdb.abBytes[2] = static_cast<std::uint8_t>(bFormat & 0x0F);
    if (bFormat <= RKSC_TOC_FULL)
        stCdb.abBytes[9] = static_cast<std::uint8_t>(bFormat << 6);
    stCdb.abBytes[6] = 1;
    PutWord(stCdb.abBytes + 7, wAllocation);
    return stCdb;
}
