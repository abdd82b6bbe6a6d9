// dosprep fuzzing: the threshold check (--dos), whole, in the jail: the
// threshold text and the two count files are the fuzzer's, exit() comes
// back to the harness, and the status is held against the rules of the
// check. Input: level, flags, threshold length, table length, the threshold,
// the table file, then the partition file.
#include <cstdint>
#include <cstring>
#include <string>

#include "dosprep.h"
#include "jail.h"
#include "oracle.h"

namespace {

struct Call {
    const char *psTable;
    const char *psPart;
    const char *psThreshold;
};

void callCheck(void *pArg)
{
    const Call *pCall = static_cast<const Call *>(pArg);
    DosPartCheck(pCall->psTable, pCall->psPart, pCall->psThreshold);
}

// At most four characters, up to the first above 'E'; digits count from '0',
// anything at or below '/' counts 0; a running 0 is not multiplied.
int32_t expectedThreshold(const char *ps)
{
    uint32_t uValue = 0;
    for (int i = 0; i < 4 && ps[i] != '\0' && static_cast<signed char>(ps[i]) <= 'E'; i++) {
        const int c = static_cast<signed char>(ps[i]);
        if (uValue != 0)
            uValue *= 10u;
        uValue += c > '/' ? static_cast<uint32_t>(c - '0') : 0u;
    }
    return static_cast<int32_t>(uValue * 1953u);
}

// The first four bytes, little-endian; a byte past the end counts 255.
int32_t countOf(const uint8_t *p, size_t n)
{
    uint32_t u = 0;
    for (size_t i = 0; i < 4; i++)
        u |= static_cast<uint32_t>(i < n ? p[i] : 0xff) << (8 * i);
    return static_cast<int32_t>(u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 4)
        return 0;
    const int nLevel = pData[0] % 36;
    const bool bTable = (pData[1] & 1) != 0;
    const bool bPart = (pData[1] & 2) != 0;
    size_t nThres = pData[2] % 16;
    if (nThres > nSize - 4)
        nThres = nSize - 4;
    size_t nTable = pData[3] % 9;
    if (nTable > nSize - 4 - nThres)
        nTable = nSize - 4 - nThres;
    const std::string sThreshold(reinterpret_cast<const char *>(pData) + 4, nThres);
    const uint8_t *pTable = pData + 4 + nThres;
    const uint8_t *pPart = pTable + nTable;
    const size_t nPart = nSize - 4 - nThres - nTable;

    jailReset();
    if (bTable)
        jailPut("/t", pTable, nTable);
    if (bPart)
        jailPut("/p", pPart, nPart);
    nDebugState = nLevel;
    Call call{"/t", "/p", sThreshold.c_str()};
    const int nStatus = jailCatchExit(callCheck, &call);

    const int32_t lThreshold = expectedThreshold(sThreshold.c_str());
    const int32_t lTable = bTable && bPart ? countOf(pTable, nTable) : 0;
    const int32_t lPart = bTable && bPart ? countOf(pPart, nPart) : 0;
    int nWant = 1;
    if (lPart < lThreshold || lPart == lTable)
        nWant = 0;
    else if (lPart > lTable)
        nWant = 255;
    FUZZ_CHECK(nStatus == nWant, "status %d, expected %d (threshold %d, table %d, partition %d)",
               nStatus, nWant, lThreshold, lTable, lPart);
    return 0;
}
