// INQUIRY answers of any shape: the model is bounded and printable.
#include <cstdint>
#include <string>

#include "RKScMmc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScInquiry stInquiry = RKScParseInquiry(pbData, nLength);
    std::string strModel = RKScModelOfInquiry(stInquiry);
    if (strModel.size() > 8 + 1 + 16 || (stInquiry.bOk && nLength < 32))
        __builtin_trap();
    for (char c : strModel)
    {
        if (c < 0x20 || c > 0x7E)
            __builtin_trap();
    }
    return 0;
}
