// dosprep fuzzing: the sfdisk front end's decisions. Input: a --version text
// and table at once; its lines are also the words of a command line.
#include <vector>

#include "fuzz.h"
#include "sfdiskfront.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    char *psText = textOf(pData, nSize);
    const bool bCurrent = isCurrentSfdisk(psText);

    // The header is one of its few forms, within its buffer.
    char pHeader[kSfdiskHeaderBytes];
    const int nHeader = sfdiskTableHeader(psText, nSize, false, bCurrent, 0x0b0075ec, pHeader);
    FUZZ_CHECK(nHeader >= 0 && static_cast<size_t>(nHeader) < kSfdiskHeaderBytes);
    FUZZ_CHECK(strlen(pHeader) == static_cast<size_t>(nHeader));
    FUZZ_CHECK(nHeader == 0 || strncmp(pHeader, "label: dos\n", 11) == 0);

    // The words kept are arguments, in their order; a whole table has its disk.
    std::vector<const char *> args;
    for (char *p = psText; args.size() < size_t{2} * kSfdiskWordLimit; ++p) {
        args.push_back(p);
        p = strchr(p, '\n');
        if (p == nullptr)
            break;
        *p = '\0';
    }
    static SfdiskCall tCall;
    const int nArgs = static_cast<int>(args.size());
    const int nStatus = planSfdiskCall(nArgs, args.data(), "util-linux 2.38", &tCall);
    FUZZ_CHECK(nStatus == 0 || nArgs > kSfdiskWordLimit);
    FUZZ_CHECK(nStatus != 0 || (tCall.nWords >= 0 && tCall.nWords <= nArgs));
    for (int k = 0, a = 0; nStatus == 0 && k < tCall.nWords; ++k, ++a) {
        while (a < nArgs && args[a] != tCall.ppWords[k])
            ++a;
        FUZZ_CHECK(a < nArgs);
    }
    FUZZ_CHECK(!tCall.bWholeTable || tCall.pDisk != nullptr);

    free(psText);
    return 0;
}
