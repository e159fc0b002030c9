// INQUIRY answers of any shape: the model and revision are bounded and
// printable.
#include <cstdint>
#include <string>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScInquiry stInquiry = RKScParseInquiry(pbData, nLength);
    std::string strModel = RKScModelOfInquiry(stInquiry);
    if (strModel.size() > 8 + 1 + 16 || (stInquiry.bOk && nLength < 32))
        __builtin_trap();
    std::string strRevision = RKScParseInquiryRevision(pbData, nLength);
    if (strRevision.size() > 4 || (!strRevision.empty() && nLength < 33))
        __builtin_trap();
    for (char c : strModel + strRevision)
    {
        if (c < 0x20 || c > 0x7E)
            __builtin_trap();
    }
    return 0;
}
