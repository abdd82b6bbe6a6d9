// dosprep fuzzing: the description lookup of dataFind.cpp. The lookup runs
// on a jailed bootpartition.xml of the fuzzer's making, and its result, the
// tag value and the number are held against the rules of the lookup:
// 79-character pieces, the key found only where it does not end the piece,
// the first tag's value, 32-bit wrapping decimals. Input: the key length,
// the key, then the file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dataFind.h"
#include "jail.h"
#include "oracle.h"

namespace {

// The key is found when it starts before the last possible position.
int expectedSearch(const std::string &sKey, const std::string &sText)
{
    const long nLoop = static_cast<long>(sText.size()) - static_cast<long>(sKey.size());
    for (long i = 0; i < nLoop; i++)
        if (!sKey.empty() && sText.compare(static_cast<size_t>(i), sKey.size(), sKey) == 0)
            return 1;
    return 0;
}

// The pieces one line read of 80 bytes yields, each cut at its first NUL as
// the lookup sees it; the first that holds the key, up to its line end.
std::string expectedLookup(const std::string &sKey, const uint8_t *pFile, size_t nFile)
{
    size_t nPos = 0;
    while (nPos < nFile) {
        size_t nEnd = nPos;
        while (nEnd < nFile && nEnd - nPos < 79) {
            if (pFile[nEnd++] == '\n')
                break;
        }
        std::string sPiece(reinterpret_cast<const char *>(pFile) + nPos, nEnd - nPos);
        sPiece.resize(std::min(sPiece.size(), sPiece.find('\0')));
        if (expectedSearch(sKey, sPiece) == 1)
            return sPiece.substr(0, sPiece.find_first_of("\r\n"));
        nPos = nEnd;
    }
    return std::string();
}

// The first tag's value: after the first '<', skip the name up to a value
// character ('*' to '9'); a blank or '<' first means none.
bool expectedTag(const std::string &sLine, std::string *psValue)
{
    psValue->clear();
    const size_t nOpen = sLine.find('<');
    if (nOpen == std::string::npos)
        return false;
    for (size_t j = nOpen + 1; j < sLine.size(); j++) {
        const signed char c = static_cast<signed char>(sLine[j]);
        if (c == ' ' || c == '<')
            return false;
        if (c >= '*' && c <= '9') {
            *psValue = sLine.substr(j, sLine.find('<', j) - j);
            return true;
        }
    }
    return false;
}

int32_t expectedDecimal(const std::string &sText)
{
    uint32_t uValue = 0;
    for (const char c : sText) {
        if (static_cast<int32_t>(uValue) > 0)
            uValue *= 10u;
        uValue += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)) - '0');
    }
    return static_cast<int32_t>(uValue);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const size_t nKey = pData[0] % 47 < nSize - 1 ? pData[0] % 47 : nSize - 1;
    std::string sKey(reinterpret_cast<const char *>(pData) + 1, nKey);
    sKey.resize(std::min(sKey.size(), sKey.find('\0')));
    const uint8_t *pFile = pData + 1 + nKey;
    const size_t nFile = nSize - 1 - nKey;
    const char *psPath = "/root/vantor/bootpartition.xml";

    jailReset();
    jailPut(psPath, pFile, nFile);

    // Exactly the 80 bytes a caller must provide, so that ASan sees any
    // write past them.
    char *psOut = static_cast<char *>(malloc(80));
    memset(psOut, 0x55, 80);
    DataFind2(psPath, sKey.c_str(), psOut);
    closeDataFind();
    const std::string sWant = expectedLookup(sKey, pFile, nFile);
    FUZZ_CHECK(memchr(psOut, 0, 80) != nullptr, "the lookup's output is not terminated");
    FUZZ_CHECK(sWant == psOut, "lookup gave '%s', expected '%s'", psOut, sWant.c_str());

    // The tag value of the line found, into a buffer just large enough for
    // the longest value that line can carry.
    const size_t nLine = strlen(psOut);
    char *psValue = static_cast<char *>(malloc(nLine + 1));
    const bool bTag = getTagValue(psOut, psValue);
    std::string sValue;
    const bool bWantTag = expectedTag(psOut, &sValue);
    FUZZ_CHECK(bTag == bWantTag && sValue == psValue, "tag of '%s': %d '%s', expected %d '%s'",
               psOut, bTag, psValue, bWantTag, sValue.c_str());
    FUZZ_CHECK(getDecimalValue(psValue) == expectedDecimal(psValue), "number of '%s'", psValue);

    // The substring test on the whole file as one text.
    const std::string sText(reinterpret_cast<const char *>(pFile), strnlen(reinterpret_cast<const char *>(pFile), nFile));
    char *psText = strdup(sText.c_str());
    FUZZ_CHECK(strSearch(sKey.c_str(), psText) == expectedSearch(sKey, sText), "strSearch");

    // The file is only read.
    static uint8_t pAfter[8192 + 64];
    const long nAfter = jailGet(psPath, pAfter, sizeof pAfter);
    FUZZ_CHECK(nAfter == static_cast<long>(nFile) && memcmp(pAfter, pFile, nFile) == 0,
               "the description file changed");
    free(psText);
    free(psValue);
    free(psOut);
    return 0;
}
