// dosprep fuzzing: the line of ssprimary that names the boot controller.
// Input: the line.
#include "fuzz.h"
#include "primaryController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    char *psLine = textOf(pData, nSize);
    const size_t nBefore = strlen(psLine);

    const int nType = getBootTypeOfLine(psLine);
    FUZZ_CHECK(nType >= kBootNone && nType <= kBootAta);
    // Only cut, at its newline.
    FUZZ_CHECK(strchr(psLine, '\n') == nullptr && strlen(psLine) <= nBefore);
    FUZZ_CHECK(memcmp(psLine, pData, strlen(psLine)) == 0);

    free(psLine);
    return 0;
}
