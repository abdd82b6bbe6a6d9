// dosprep fuzzing: the whole command line walk of main.cpp. Every mode and
// every routine that touches a file is a recording stub here, and system()
// is served by the jail, so no fuzzed line can reach a disk. Input: one
// flag byte (controller type, result of the FAT32 merge, --dos status), then
// the arguments separated by NUL bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dosprep.h"
#include "hdwrite.h"
#include "jail.h"
#include "oracle.h"
#include "primaryController.h"

int dosprep_main(int argc, char *argv[]);
extern "C" [[noreturn]] void jail_exit(int nStatus);  // the renamed exit of the code under test

namespace {
constexpr int kMaxArgs = 8;
int nArgc = 0;
char *pArgv[kMaxArgs + 2];
int nBootType = 0;
int nMergeResult = 0;
int nDosStatus = 0;
int nModeCalls = 0;      // modes run after the walk
int nImmediateCalls = 0; // one-shot options
int nByteWrites = 0;
int nTypeQueries = 0;
int nMergeCalls = 0;
int nTestAtMerge = 0;

// The index in argv of an operand main handed on, or -1.
int argIndex(const char *ps)
{
    for (int k = 1; k < nArgc; k++)
        if (ps == pArgv[k])
            return k;
    return -1;
}

// The operands are consecutive arguments of the line, in order.
bool areOperands(const char *ps1, const char *ps2, const char *ps3 = nullptr)
{
    const int k = argIndex(ps1);
    return k > 1 && argIndex(ps2) == k + 1 && (ps3 == nullptr || argIndex(ps3) == k + 2);
}
}  // namespace

// ---- stubs of the modes and file routines ----
int writeByteToDevnode(const char *pDevNode9, const char *pOffset9, const char *pByteValue9)
{
    FUZZ_CHECK(areOperands(pDevNode9, pOffset9, pByteValue9), "--bytewrite operands");
    nImmediateCalls++;
    return 0;
}

void writeOneByteToPartition(const char *psNode8, uint32_t lOffset8, int ucByteValue8)
{
    FUZZ_CHECK(strcmp(psNode8, "/dev/sssd1") == 0 && lOffset8 == 26 && ucByteValue8 == 255,
               "--fixata writes %s %u %d", psNode8, lOffset8, ucByteValue8);
    nByteWrites++;
}

void stampDriveNumber() { nModeCalls++; }
void write16() { nModeCalls++; }
int sfdisk(int cOSID, int nGeodisk)
{
    FUZZ_CHECK((cOSID == 'c' && nGeodisk == 0) || (cOSID == '6' && (nGeodisk == 0 || nGeodisk == 1)),
               "sfdisk(%d, %d)", cOSID, nGeodisk);
    nModeCalls++;
    return 0;
}

int setUpdate98(int nSectorOffset1, char *pWriteBlock3, int nDebugLevel)
{
    FUZZ_CHECK(nSectorOffset1 == 6 && nDebugLevel == nDebugState, "setUpdate98(%d, .., %d)",
               nSectorOffset1, nDebugLevel);
    memset(pWriteBlock3, 'x', 128);  // the block is the caller's 128 bytes
    pWriteBlock3[127] = '\0';
    nModeCalls++;
    nMergeCalls++;
    nTestAtMerge = nIsATest;
    return nMergeResult;
}

int DosPartCheck(const char *tPartSize, const char *dPartSize, const char *threshold)
{
    FUZZ_CHECK(areOperands(tPartSize, dPartSize, threshold), "--dos operands");
    nImmediateCalls++;
    jail_exit(nDosStatus);
}

int compareFiles(const char *p5NamePath1, const char *p5NamePath2, char *pWriteBlock5,
                 int nDebugLevel)
{
    FUZZ_CHECK(areOperands(p5NamePath1, p5NamePath2), "--diff operands");
    FUZZ_CHECK(nDebugLevel == 0, "--diff level %d", nDebugLevel);
    memset(pWriteBlock5, 'y', 128);
    nImmediateCalls++;
    return 0;
}

void showFile(const char *pFileName)
{
    FUZZ_CHECK(argIndex(pFileName) > 1, "--show operand");
    nImmediateCalls++;
}

void showSomeFile(const char *pstrFileName, int nOffset1, int nLengths)
{
    FUZZ_CHECK(strncmp(pstrFileName, "/root/vantor/", 13) == 0 && nOffset1 >= 0 && nLengths > 0,
               "showSomeFile(%s, %d, %d)", pstrFileName, nOffset1, nLengths);
}

int getPrimaryBootType()
{
    nTypeQueries++;
    if (nBootType == kBootAta)
        nIsATA = 1;
    return nBootType;
}

// ---- the harness ----
struct MainCall {
    int nResult;
};

static void callMain(void *pArg)
{
    static_cast<MainCall *>(pArg)->nResult = dosprep_main(nArgc, pArgv);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    nBootType = pData[0] % 5;
    nMergeResult = (pData[0] & 0x08) != 0 ? -1 : 0;
    nDosStatus = (pData[0] >> 4) % 3;

    // Each argument in an allocation of its own, so that a read past its
    // end is seen.
    pArgv[0] = strdup("dosprep");
    nArgc = 1;
    size_t nStart = 1;
    for (size_t i = 1; i <= nSize && nArgc <= kMaxArgs; i++) {
        if (i == nSize || pData[i] == 0) {
            const size_t nLen = i - nStart;
            char *ps = static_cast<char *>(malloc(nLen + 1));
            memcpy(ps, pData + nStart, nLen);
            ps[nLen] = '\0';
            pArgv[nArgc++] = ps;
            nStart = i + 1;
        }
    }
    pArgv[nArgc] = nullptr;

    nDebugState = 0;
    nIsATest = 0;
    nIsATA = 0;
    nModeCalls = nImmediateCalls = nByteWrites = nTypeQueries = nMergeCalls = nTestAtMerge = 0;
    jailReset();
    MainCall call{0};
    const int nExit = jailCatchExit(callMain, &call);

    const bool bWalked = nArgc >= 2 && nArgc <= 6;
    if (nExit >= 0) {
        FUZZ_CHECK(nImmediateCalls == 1 && nExit == nDosStatus, "exit(%d) outside --dos", nExit);
    } else {
        FUZZ_CHECK(call.nResult == 0 || call.nResult == -1, "main returned %d", call.nResult);
        FUZZ_CHECK(nImmediateCalls <= 1, "%d one-shot options ran", nImmediateCalls);
        if (nImmediateCalls == 1)
            FUZZ_CHECK(nModeCalls == 0 && nTypeQueries == 0, "a mode ran after a one-shot option");
        FUZZ_CHECK(nModeCalls + (nByteWrites > 0) <= 1, "more than one mode ran");
        FUZZ_CHECK(nByteWrites <= (nBootType == kBootAta ? 2 : 1), "%d --fixata writes", nByteWrites);
    }
    if (!bWalked) {
        FUZZ_CHECK(nImmediateCalls == 0 && nModeCalls == 0 && nByteWrites == 0 && nTypeQueries == 1,
                   "argc %d outside the gate still acted", nArgc);
    }
    // Test mode never runs a command; the FAT32 write runs dd only after a
    // merge that succeeded.
    FUZZ_CHECK(jailSystemCount() <= 1, "%d commands", jailSystemCount());
    if (jailSystemCount() == 1) {
        FUZZ_CHECK(nMergeCalls == 1 && nMergeResult == 0 && nTestAtMerge == 0,
                   "command run: %s", jailLastSystem());
        FUZZ_CHECK(strcmp(jailLastSystem(),
                          "/bin/dd if=/root/vantor/update98boot.b of=/dev/sssd1 bs=512 count=9") == 0,
                   "command %s", jailLastSystem());
    }
    for (int k = 0; k < nArgc; k++)
        free(pArgv[k]);
    return 0;
}
