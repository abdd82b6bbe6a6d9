// readmap.cpp: the reads command: the reads of a boot's block trace, each
// mapped to what its first sector holds on the walked disk, folded into runs
// of one thing, then the summary of what the boot read.
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "diskreads.h"

constexpr long kReadLimit = 100000;                // reads taken from the trace
constexpr long kLineLimit = 2000;                  // lines printed for them
constexpr int kTraceLineSize = 4096;

// What a read's first sector holds. nIndex: a FAT's number, an owner or a
// partition; llNumber: a sector or cluster, consecutive ones fold.
enum {
    kThingMbr, kThingBootSector, kThingBootArea, kThingBackup, kThingFsInfo, kThingFat, kThingRoot,
    kThingDirectory, kThingFile, kThingFree, kThingPastFs, kThingPartition, kThingOutside
};
struct Thing {
    int nKind, nIndex;
    long long llNumber;
};

// What sector llRelative of partition 1's FAT file system holds.
static Thing fatThing(const Layout &tLayout, long long llRelative)
{
    long long r = llRelative;

    if (r == 0)
        return {kThingBootSector, 1, 0};
    if (r < tLayout.uReserved) {
        if (r == tLayout.uBackup)
            return {kThingBackup, 1, r};
        return {tLayout.bFat32 && r == tLayout.uFsInfo ? kThingFsInfo : kThingBootArea, 1, r};
    }
    r -= tLayout.uReserved;
    if (r < static_cast<long long>(tLayout.uFats) * tLayout.uFatSectors)
        return {kThingFat, static_cast<int>(r / tLayout.uFatSectors) + 1, r % tLayout.uFatSectors};
    r -= static_cast<long long>(tLayout.uFats) * tLayout.uFatSectors;
    if (r < tLayout.uRootSectors)
        return {kThingRoot, 0, r};
    r -= tLayout.uRootSectors;
    if (r >= static_cast<long long>(tLayout.uClusters) * tLayout.uPerCluster)
        return {kThingPastFs, 1, llRelative};
    const uint32_t uCluster = static_cast<uint32_t>(r / tLayout.uPerCluster) + 2;
    const int nOwner = clusterOwner(tLayout, uCluster);
    if (nOwner < 0)
        return {kThingFree, 1, uCluster};
    if (nOwner == 0)
        return {kThingRoot, 0, uCluster};
    return {tLayout.pOwners[nOwner].bDirectory ? kThingDirectory : kThingFile, nOwner, uCluster};
}

// What disk sector llSector holds: the MBR, partition 1 through its FAT,
// sectors of the other partitions, or none of these.
static Thing diskThing(const Layout &tLayout, long long llSector)
{
    if (llSector == 0)
        return {kThingMbr, 0, 0};
    for (int i = 1; i <= kPartitionEntries; i++) {
        if (llSector < tLayout.pStart[i] || llSector - tLayout.pStart[i] >= tLayout.pSectors[i])
            continue;
        if (i == 1 && tLayout.bFat)
            return fatThing(tLayout, llSector - tLayout.pStart[i]);
        return {kThingPartition, i, llSector - tLayout.pStart[i]};
    }
    return {kThingOutside, 0, llSector};
}

// tThing's name, up to llLast (the number of the last read folded into it).
static void thingName(const Layout &tLayout, const Thing &tThing, long long llLast, char *pOut, size_t nSize)
{
    char pRange[48];
    const bool bRange = llLast != tThing.llNumber;
    const char *pPath = tLayout.pOwners[tThing.nKind == kThingFile || tThing.nKind == kThingDirectory ? tThing.nIndex : 0].pPath;

    snprintf(pRange, sizeof pRange, bRange ? "s %lld-%lld" : " %lld", tThing.llNumber, llLast);
    switch (tThing.nKind) {
    case kThingMbr: snprintf(pOut, nSize, "MBR"); break;
    case kThingBootSector: snprintf(pOut, nSize, "boot sector of partition 1"); break;
    case kThingBootArea: snprintf(pOut, nSize, "boot area sector%s", pRange); break;
    case kThingBackup: snprintf(pOut, nSize, "backup boot sector"); break;
    case kThingFsInfo: snprintf(pOut, nSize, "FSInfo sector"); break;
    case kThingFat: snprintf(pOut, nSize, "FAT %d sector%s", tThing.nIndex, pRange); break;
    case kThingRoot: snprintf(pOut, nSize, "root directory"); break;
    case kThingDirectory: snprintf(pOut, nSize, "directory %s", pPath); break;
    case kThingFile: snprintf(pOut, nSize, "%s cluster%s", pPath, pRange); break;
    case kThingFree: snprintf(pOut, nSize, "free space in partition 1"); break;
    case kThingPastFs: snprintf(pOut, nSize, "partition 1 past its file system"); break;
    case kThingPartition: snprintf(pOut, nSize, "partition %d sector%s", tThing.nIndex, pRange); break;
    default: snprintf(pOut, nSize, "outside every partition"); break;
    }
}

// A read's offset and length from a trace line: "offset N bytes M" anywhere.
static bool parseRead(const char *pLine, long long *pllOffset, long long *pllBytes)
{
    const char *p = pLine;
    long long pValue[2];

    while ((p = strstr(p, "offset ")) != nullptr) {
        p += 7;
        const char *q = p;
        for (int i = 0; i < 2; i++) {
            pValue[i] = 0;
            const char *pDigits = q;
            for (; *q >= '0' && *q <= '9' && pValue[i] <= kSectorLimit; q++)
                pValue[i] = pValue[i] * 10 + (*q - '0');
            if (q == pDigits || pValue[i] > kSectorLimit || (i == 0 && strncmp(q, " bytes ", 7) != 0))
                break;
            if (i == 0) {
                q += 7;
                continue;
            }
            *pllOffset = pValue[0];
            *pllBytes = pValue[1];
            return true;
        }
    }
    return false;
}

// The reads folded into the line being built, and what the summary keeps.
struct Fold {
    Thing tThing;
    long long llSector, llLast, llReads, llSectors;
    long long llLines, llLinesLeft, llMapped;
    bool bBootRead, bRootRead, bStray;
    long long llStraySector;
    char pStray[kPathSize + 48];
    int pFilesRead[kOwnerLimit];
    int nFilesRead;
};

static void printFold(const Layout &tLayout, Fold &tFold)
{
    char pName[kPathSize + 48];

    if (tFold.llReads == 0)
        return;
    if (tFold.llLines == kLineLimit) {
        tFold.llLinesLeft++;
        return;
    }
    tFold.llLines++;
    thingName(tLayout, tFold.tThing, tFold.llLast, pName, sizeof pName);
    printf("%lld %s", tFold.llSector, pName);
    if (tFold.llReads > 1)
        printf(", %lld reads", tFold.llReads);
    if (tFold.llSectors != tFold.llReads)
        printf(", %lld sectors", tFold.llSectors);
    putchar('\n');
}

// One read of llCount sectors from llSector: into the line being built, or
// a new one; the summary's facts.
static void takeRead(Layout &tLayout, Fold &tFold, long long llSector, long long llCount)
{
    const Thing tThing = diskThing(tLayout, llSector);
    const bool bOwned = tThing.nKind == kThingFile || tThing.nKind == kThingDirectory;
    Owner *pOwner = bOwned ? &tLayout.pOwners[tThing.nIndex] : nullptr;
    // A file or directory is entered at its first sector: the boot code
    // finds its first cluster in the directory. Anything else is a stray.
    const bool bAtStart = pOwner != nullptr &&
        (pOwner->bEntered || (static_cast<uint32_t>(tThing.llNumber) == pOwner->uFirst &&
                              (llSector - tLayout.pStart[1] - tLayout.uDataStart) % tLayout.uPerCluster == 0));
    // A FAT sector is read for the entries of a chain, or for its first.
    const uint64_t uPerFatSector = kSectorSize / (tLayout.bFat32 ? 4 : 2);
    const uint64_t uLow = static_cast<uint64_t>(tThing.llNumber) * uPerFatSector;
    const bool bExpected = bOwned                       ? bAtStart
                           : tThing.nKind == kThingFat ? tThing.llNumber == 0 || ownedIn(tLayout, uLow, uLow + uPerFatSector)
                                                       : tThing.nKind >= kThingBootSector && tThing.nKind <= kThingRoot;

    tFold.llMapped++;
    if (tFold.bBootRead && !tFold.bStray && !bExpected) {
        tFold.bStray = true;
        tFold.llStraySector = llSector;
        thingName(tLayout, tThing, tThing.llNumber, tFold.pStray, sizeof tFold.pStray);
    }
    if (tThing.nKind == kThingBootSector)
        tFold.bBootRead = true;
    if (tThing.nKind == kThingRoot)
        tFold.bRootRead = true;
    if (pOwner != nullptr && !pOwner->bEntered) {
        pOwner->bEntered = true;
        if (!pOwner->bDirectory)
            tFold.pFilesRead[tFold.nFilesRead++] = tThing.nIndex;
    }
    if (tFold.llReads > 0 && tThing.nKind == tFold.tThing.nKind && tThing.nIndex == tFold.tThing.nIndex &&
        (tThing.llNumber == tFold.llLast || tThing.llNumber == tFold.llLast + 1)) {
        tFold.llLast = tThing.llNumber;
        tFold.llReads++;
        tFold.llSectors += llCount;
        return;
    }
    printFold(tLayout, tFold);
    tFold.tThing = tThing;
    tFold.llSector = llSector;
    tFold.llLast = tThing.llNumber;
    tFold.llReads = 1;
    tFold.llSectors = llCount;
}

static void printSummary(const Layout &tLayout, const Fold &tFold)
{
    printf("= file_system %s\n", !tLayout.bFat ? "none" : tLayout.bFat32 ? "FAT32" : "FAT16");
    if (!tLayout.bFat) {
        puts("= root_directory none");
    } else if (tLayout.bFat32) {
        const uint32_t uRoot = tLayout.pOwners[0].uFirst;
        if (tLayout.pOwners[0].nRuns == 0)
            puts("= root_directory none");
        else
            printf("= root_directory %lld\n", tLayout.pStart[1] + tLayout.uDataStart +
                                                  static_cast<long long>(uRoot - 2) * tLayout.uPerCluster);
    } else {
        printf("= root_directory %lld\n", tLayout.pStart[1] + tLayout.uDataStart - tLayout.uRootSectors);
    }
    printf("= boot_sector_read %s\n= root_read %s\n= files", tFold.bBootRead ? "yes" : "no",
           tFold.bRootRead ? "yes" : "no");
    for (int i = 0; i < tFold.nFilesRead; i++)
        printf(" %s", tLayout.pOwners[tFold.pFilesRead[i]].pPath);
    putchar('\n');
    if (tFold.bStray)
        printf("= stray %lld %s\n", tFold.llStraySector, tFold.pStray);
    else
        puts("= stray none");
    printf("= reads %lld\n", tFold.llMapped);
}

int runReads(char **ppArgs, int /* nArgs */)
{
    static Layout tLayout;
    static Fold tFold;
    unsigned char pMbr[kSectorSize];
    char pLine[kTraceLineSize];
    long long llOffset = 0, llBytes = 0, llLeft = 0;
    bool bLineStart = true;
    int nStatus = 0;
    FILE *pTrace;

    tLayout.pFile = ppArgs[0];
    tLayout.llCachedSector = -1;
    if (readSector(ppArgs[0], 0, pMbr) != 0)
        return 1;
    for (int i = 1; i <= kPartitionEntries; i++) {
        const unsigned char *pEntry = pMbr + entry(i, 0);
        tLayout.pType[i] = pEntry[kEntryType];
        tLayout.pStart[i] = getLe32(pEntry + kEntryStart);
        tLayout.pSectors[i] = tLayout.pType[i] == 0 ? 0 : getLe32(pEntry + kEntrySectors);
    }
    tLayout.fd = openImage(ppArgs[0]);
    if (tLayout.fd < 0)
        return 1;
    nStatus = readFat(tLayout);
    close(tLayout.fd);
    if (nStatus != 0)
        return 1;
    pTrace = strcmp(ppArgs[1], "-") == 0 ? stdin : fopen(ppArgs[1], "r");
    if (pTrace == nullptr) {
        fprintf(stderr, "diskbytes: %s: cannot open: %s\n", ppArgs[1], strerror(errno));
        return 1;
    }
    while (fgets(pLine, sizeof pLine, pTrace) != nullptr) {
        const bool bStart = bLineStart;
        bLineStart = strchr(pLine, '\n') != nullptr;  // a longer line's rest is not read for a read
        if (!bStart || !parseRead(pLine, &llOffset, &llBytes))
            continue;
        if (tFold.llMapped == kReadLimit) {
            llLeft++;
            continue;
        }
        const long long llSector = llOffset / kSectorSize;
        const long long llEnd = llBytes == 0 ? llOffset + 1 : llOffset + llBytes;
        takeRead(tLayout, tFold, llSector, (llEnd + kSectorSize - 1) / kSectorSize - llSector);
    }
    if (ferror(pTrace)) {
        fprintf(stderr, "diskbytes: %s: cannot read: %s\n", ppArgs[1], strerror(errno));
        nStatus = 1;
    }
    if (pTrace != stdin)
        fclose(pTrace);
    printFold(tLayout, tFold);
    if (tFold.llLinesLeft > 0)
        printf("... %lld more lines left out\n", tFold.llLinesLeft);
    if (llLeft > 0)
        printf("... %lld more reads left out, past the first %ld\n", llLeft, kReadLimit);
    if (tLayout.bShort)
        printf("... the walk of the directories stopped at a bound: %d files and directories, %d runs, %u clusters\n",
               tLayout.nOwners, tLayout.nRuns, tLayout.uFollowed);
    printSummary(tLayout, tFold);
    return nStatus;
}
