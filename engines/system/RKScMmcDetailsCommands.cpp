// Command blocks of the details, byte by byte as MMC lays them out.
#include <cstring>

#include "RKScMmcDetails.h"

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

void PutLong(std::uint8_t* pbAt, DWORD dwValue)
{
    PutWord(pbAt, static_cast<WORD>(dwValue >> 16));
    PutWord(pbAt + 2, static_cast<WORD>(dwValue & 0xFFFF));
}
} // namespace

RKScCdb RKScModeSenseCdb(std::uint8_t bPage, WORD wAllocation)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_MODE_SENSE_10, 10);
    stCdb.abBytes[1] = 0x08; // DBD: the page without block descriptors
    stCdb.abBytes[2] = static_cast<std::uint8_t>(bPage & 0x3F);
    PutWord(stCdb.abBytes + 7, wAllocation);
    return stCdb;
}

RKScCdb RKScReadCapacityCdb()
{
    return EmptyCdb(RKSC_OP_READ_CAPACITY, 10);
}

RKScCdb RKScReadFormatCapacitiesCdb(WORD wAllocation)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_READ_FORMAT_CAPACITIES, 10);
    PutWord(stCdb.abBytes + 7, wAllocation);
    return stCdb;
}

RKScCdb RKScReadTrackInformationCdb(DWORD dwTrack, WORD wAllocation)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_READ_TRACK_INFORMATION, 10);
    stCdb.abBytes[1] = 0x01; // the address is a track number
    PutLong(stCdb.abBytes + 2, dwTrack);
    PutWord(stCdb.abBytes + 7, wAllocation);
    return stCdb;
}

RKScCdb RKScWriteSpeedsCdb(WORD wDescriptors)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_GET_PERFORMANCE, 12);
    PutWord(stCdb.abBytes + 8, wDescriptors);
    stCdb.abBytes[10] = 0x03; // write speed descriptors
    return stCdb;
}

RKScCdb RKScRead10Cdb(DWORD dwBlock, WORD wBlocks)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_READ_10, 10);
    PutLong(stCdb.abBytes + 2, dwBlock);
    PutWord(stCdb.abBytes + 7, wBlocks);
    return stCdb;
}

RKScCdb RKScMechanismStatusCdb(WORD wAllocation)
{
    RKScCdb stCdb = EmptyCdb(RKSC_OP_MECHANISM_STATUS, 12);
    PutWord(stCdb.abBytes + 8, wAllocation);
    return stCdb;
}
