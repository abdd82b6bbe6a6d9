// names83.cpp: the names83 command: the 8.3 file names that a boot
// sector's code carries, found as 11-byte runs that look like a short name.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "diskbytes.h"

// ---- 8.3 names that boot code carries ----
static bool nameChar(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c != 0 && strchr(" !#$%&'()-@^_`{}~", c) != nullptr);
}

// Whether the 11 bytes at p look like a short name: a letter first, the
// name padded with spaces, an extension of 1-3 letters or digits.
static bool looksLikeName(const unsigned char *p)
{
    bool bPadded = false;

    if (p[0] < 'A' || p[0] > 'Z')
        return false;
    for (int i = 1; i < 8; i++) {
        if (p[i] == ' ')
            bPadded = true;
        else if (bPadded || !nameChar(p[i]))
            return false;
    }
    bPadded = false;
    for (int i = 8; i < 11; i++) {
        if (p[i] == ' ' && i > 8)
            bPadded = true;
        else if (bPadded || !((p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= '0' && p[i] <= '9')))
            return false;
    }
    return true;
}

int runNames83(char **ppArgs, int nArgs)
{
    unsigned char pSector[kSectorSize] = {};
    char pNames[kSectorSize / 11][13], pWhat[32];
    long long llSector = 0;
    int nGot = 0, nNames = 0, nFirst = 0;

    if (nArgs > 1 && parseSector(ppArgs[1], &llSector) != 0)
        return 2;
    const int fd = openImage(ppArgs[0]);
    if (fd < 0)
        return 1;
    snprintf(pWhat, sizeof pWhat, "sector %lld", llSector);
    const int nStatus = readFrom(fd, ppArgs[0], llSector * kSectorSize, kSectorSize, 1, pWhat, pSector, &nGot);
    close(fd);
    if (nStatus != 0)
        return 1;
    // A whole boot sector: its code, after the parameter block and the
    // label fields; a shorter file is taken for code alone.
    if (nGot == kSectorSize) {
        nFirst = strcmp(fatType(pSector), "FAT32") == 0 ? kOffsetBootCode32 : kOffsetBootCode16;
        nGot = kOffsetSignature;
    }
    // A name starts after a byte that could not be part of it, or right
    // after another name ("IO      SYSMSDOS   SYS").
    for (int i = nFirst, nAfter = -1; i + 11 <= nGot; i++) {
        const unsigned char cBefore = i > nFirst ? pSector[i - 1] : 0;
        if (!looksLikeName(pSector + i) || (i != nAfter && nameChar(cBefore) && cBefore != ' '))
            continue;
        nAfter = i + 11;
        entryName("", pSector + i, pNames[nNames], sizeof pNames[nNames]);
        bool bSeen = false;
        for (int k = 0; k < nNames; k++)
            bSeen = bSeen || strcmp(pNames[k], pNames[nNames]) == 0;
        if (!bSeen)
            puts(pNames[nNames++]);
        i += 10;
    }
    return 0;
}
