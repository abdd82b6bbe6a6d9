// dosprep fuzzing: the three words of --bytewrite. Input: the node, offset
// and byte words, each ended by a NUL; missing words are empty.
#include "fuzz.h"
#include "hdwrite.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    char *psWords[3] = {};
    size_t nPos = 0;
    for (char *&psWord : psWords) {
        const uint8_t *pEnd = nPos < nSize ? static_cast<const uint8_t *>(
                                                 memchr(pData + nPos, 0, nSize - nPos))
                                           : nullptr;
        const size_t nLen = pEnd != nullptr ? static_cast<size_t>(pEnd - pData) - nPos : nSize - nPos;
        psWord = textOf(pData + nPos, nLen);
        nPos = pEnd != nullptr ? nPos + nLen + 1 : nSize;
    }
    char *psName = static_cast<char *>(malloc(kNodeNameChars + 2));  // as the contract sizes it
    uint32_t lOffset = 0;
    unsigned char ucByte = 0;

    const int nStatus = getByteWriteValues(psWords[0], psWords[1], psWords[2], psName, &lOffset,
                                           &ucByte);
    FUZZ_CHECK(nStatus == 0 || nStatus == -1);
    if (nStatus == 0) {
        // The name kept is the start of the node word.
        const size_t nName = strlen(psName);
        FUZZ_CHECK(nName <= static_cast<size_t>(kNodeNameChars));
        FUZZ_CHECK(memcmp(psName, psWords[0], nName) == 0);
    }

    free(psName);
    for (char *psWord : psWords)
        free(psWord);
    return 0;
}
