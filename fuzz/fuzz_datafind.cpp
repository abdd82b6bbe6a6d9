// dosprep fuzzing: the text rules of a description line: the key test, the
// piece match, the tag value and its number. Input: the key length (first
// byte, mod 16), the key, then one piece of a line.
#include "dataFind.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const size_t nKey = pData[0] % 16 < nSize - 1 ? pData[0] % 16 : nSize - 1;
    char *psKey = textOf(pData + 1, nKey);
    char *psLine = textOf(pData + 1 + nKey, nSize - 1 - nKey);
    const size_t nLine = strlen(psLine);
    char *psPiece = static_cast<char *>(malloc(nLine + 1));
    char *psValue = static_cast<char *>(malloc(nLine + 1));

    const int nFound = strSearch(psKey, psLine);
    FUZZ_CHECK(nFound == 0 || nFound == 1);
    if (matchPiece(psKey, psLine, psPiece)) {
        // The piece up to its line end, whole.
        const size_t nPiece = strlen(psPiece);
        FUZZ_CHECK(nPiece <= nLine && memcmp(psPiece, psLine, nPiece) == 0);
        FUZZ_CHECK(strpbrk(psPiece, "\r\n") == nullptr);
    }

    // The value is text of the line; no value, the empty string.
    const bool bValue = getTagValue(psLine, psValue);
    FUZZ_CHECK(strlen(psValue) <= nLine);
    FUZZ_CHECK(bValue || psValue[0] == '\0');
    FUZZ_CHECK(!bValue || strstr(psLine, psValue) != nullptr);
    (void)getDecimalValue(psValue);  // any value; wrapping must stay defined
    (void)getDecimalValue(psLine);

    free(psValue);
    free(psPiece);
    free(psLine);
    free(psKey);
    return 0;
}
