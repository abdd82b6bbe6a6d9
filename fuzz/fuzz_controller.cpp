// dosprep fuzzing: the controller type line of /root/vantor/ssprimary and
// the geometry query of drive.cpp, in the jail. Input: a flag byte, the
// heads, the sectors per track, a level byte, then the file's contents.
#include <cstdint>
#include <cstring>

#include "dosprep.h"
#include "jail.h"
#include "oracle.h"
#include "primaryController.h"

// The type the first line names: at most 13 characters of it are read, and
// the word must be the whole line.
static int expectedType(const uint8_t *pText, size_t nSize)
{
    char pLine[14] = {};
    for (size_t i = 0; i < nSize && i < 13; i++) {
        if (pText[i] == '\n' || pText[i] == '\0')
            break;
        pLine[i] = static_cast<char>(pText[i]);
    }
    static const char *const kWords[] = {"KLARN", "TOVRIXAR", "SCSI", "ATA"};
    for (int n = 0; n < 4; n++)
        if (strcmp(pLine, kWords[n]) == 0)
            return n + 1;
    return kBootNone;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 4)
        return 0;
    const uint8_t ucFlags = pData[0];
    const bool bFile = (ucFlags & 1) != 0;
    const bool bGeoOk = (ucFlags & 2) != 0;
    const bool bDisk = (ucFlags & 4) != 0;
    const int nAtaBefore = (ucFlags & 8) != 0 ? 1 : 0;
    const uint8_t *pText = pData + 4;
    const size_t nText = nSize - 4;

    jailReset();
    if (bFile)
        jailPut("/root/vantor/ssprimary", pText, nText);
    else
        jailMkdir("/root/vantor");
    if (bDisk)
        jailPut("/dev/sssd", "", 0);
    jailSetGeometry(bGeoOk, pData[1], pData[2], 1000);

    nDebugState = pData[3] % 36;
    nIsATA = nAtaBefore;
    uHeads = 0x1234;
    const int nType = getPrimaryBootType();
    char pBlock[32];
    memset(pBlock, 0x5a, sizeof pBlock);
    const unsigned char ucSectors = getBootDriveSectorsPerTrack(pBlock, nDebugState);

    const int nWant = bFile ? expectedType(pText, nText) : kBootNone;
    FUZZ_CHECK(nType == nWant, "type %d, expected %d", nType, nWant);
    const int nAta = nAtaBefore != 0 || nWant == kBootAta ? 1 : 0;
    FUZZ_CHECK(nIsATA == nAta, "nIsATA %d, expected %d", nIsATA, nAta);

    if (!bDisk) {
        FUZZ_CHECK(ucSectors == 0x5a && uHeads == 0x1234, "missing disk changed the result");
    } else {
        const unsigned char ucWantSectors = bGeoOk ? pData[2] : 0;
        const unsigned ucWantHeads = nAta != 0 ? 255u : (bGeoOk ? pData[1] : 0u);
        FUZZ_CHECK(ucSectors == ucWantSectors, "sectors %u, expected %u", ucSectors, ucWantSectors);
        FUZZ_CHECK((uHeads & 0xffu) == ucWantHeads, "heads %u, expected %u", uHeads, ucWantHeads);
    }
    for (size_t i = 16; i < sizeof pBlock; i++)
        FUZZ_CHECK(pBlock[i] == 0x5a, "the geometry query wrote byte %zu of the block", i);
    return 0;
}
