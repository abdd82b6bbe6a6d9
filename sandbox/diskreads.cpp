// diskreads.cpp: partition 1's FAT walked for the reads command: its boot
// area, FAT 1 and the chains through it, the directories from the root down
// and their entries' 8.3 names, the runs of clusters sorted for lookups.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diskreads.h"

constexpr uint32_t kFollowLimit = 1U << 22;        // clusters followed in all chains
constexpr uint32_t kClusterNumbers = 0x0ffffff0;  // FAT32 names no more clusters

// Sector llSector of the image for the layout, pWhat saying what for; past
// the image's end it reads as zeros (no signature, no entries, free FAT
// entries): 0, or 1 with a message when the image cannot be read.
static int layoutSector(const Layout &tLayout, long long llSector, const char *pWhat, unsigned char *pSector)
{
    char pFor[64];
    int nGot = 0;

    snprintf(pFor, sizeof pFor, "sector %lld (%s)", llSector, pWhat);
    if (readFrom(tLayout.fd, tLayout.pFile, llSector * kSectorSize, kSectorSize, 0, pFor, pSector, &nGot) != 0)
        return 1;
    memset(pSector + nGot, 0, static_cast<size_t>(kSectorSize - nGot));
    return 0;
}

// Entry uCluster of FAT 1 into *puNext: 0, or 1 with a message.
static int fatEntry(Layout &tLayout, uint32_t uCluster, uint32_t *puNext)
{
    const long long llByte = static_cast<long long>(uCluster) * (tLayout.bFat32 ? 4 : 2);
    const long long llSector = tLayout.pStart[1] + tLayout.uReserved + llByte / kSectorSize;
    const unsigned char *p = tLayout.pCache + llByte % kSectorSize;

    if (llSector != tLayout.llCachedSector) {
        tLayout.llCachedSector = -1;
        if (layoutSector(tLayout, llSector, "FAT 1", tLayout.pCache) != 0)
            return 1;
        tLayout.llCachedSector = llSector;
    }
    *puNext = tLayout.bFat32 ? getLe32(p) & 0x0fffffffU : getLe16(p);
    return 0;
}

// The chain from uFirst as nOwner's runs. It stops at its end, at a cluster
// that is no data cluster, one a chain already holds (a loop, or clusters
// two chains share) or at a bound: 0, or 1 when FAT 1 cannot be read.
static int followChain(Layout &tLayout, int nOwner, uint32_t uFirst)
{
    Owner &tOwner = tLayout.pOwners[nOwner];
    uint32_t uCluster = uFirst, uNext = 0;

    tOwner.nFirstRun = tLayout.nRuns;
    while (uCluster >= 2 && uCluster - 2 < tLayout.uClusters) {
        if (uCluster < kMarkedClusters) {
            if (tLayout.pMarked[uCluster / 8] & (1U << (uCluster % 8)))
                break;
            tLayout.pMarked[uCluster / 8] |= static_cast<unsigned char>(1U << (uCluster % 8));
        }
        Run *pLast = tOwner.nRuns > 0 ? &tLayout.pRuns[tLayout.nRuns - 1] : nullptr;
        if (tLayout.uFollowed == kFollowLimit) {
            tLayout.bShort = true;
            break;
        }
        if (pLast != nullptr && pLast->uFirst + pLast->uCount == uCluster) {
            pLast->uCount++;
        } else if (tLayout.nRuns == kRunLimit) {
            tLayout.bShort = true;
            break;
        } else {
            tLayout.pRuns[tLayout.nRuns++] = {uCluster, 1, nOwner};
            tOwner.nRuns++;
        }
        tLayout.uFollowed++;
        if (fatEntry(tLayout, uCluster, &uNext) != 0)
            return 1;
        uCluster = uNext;
    }
    return 0;
}

// An entry's 8.3 name as NAME.EXT, after pParent's path and a slash.
void entryName(const char *pParent, const unsigned char *pEntry, char *pOut, size_t nSize)
{
    char pName[13];
    int n = 0;

    for (int i = 0; i < 11; i++) {
        unsigned char c = pEntry[kDirName + i];
        if (i == 0 && c == 0x05)  // a name starting with 0xe5
            c = 0xe5;
        if (i == 8) {  // the name part without its padding, then the extension
            while (n > 0 && pName[n - 1] == ' ')
                n--;
            pName[n++] = '.';
        }
        pName[n++] = c >= 0x20 && c < 0x7f && c != '/' ? static_cast<char>(c) : '?';
    }
    while (pName[n - 1] == ' ' || pName[n - 1] == '.')
        n--;
    pName[n] = '\0';
    snprintf(pOut, nSize, "%s%s%s", pParent, *pParent != '\0' ? "/" : "", pName);
}

// Directory sector pSector's entries of nParent as owners, their chains
// followed. *pbEnd: an entry ended the directory. 0, or 1 (FAT 1 unreadable).
static int readEntries(Layout &tLayout, int nParent, const unsigned char *pSector, bool *pbEnd)
{
    for (int i = 0; i < kSectorSize; i += kDirEntrySize) {
        const unsigned char *pEntry = pSector + i;
        const int nAttributes = pEntry[kDirAttributes];
        if (pEntry[kDirName] == 0) {
            *pbEnd = true;
            return 0;
        }
        if (pEntry[kDirName] == 0xe5 || pEntry[kDirName] == '.' || (nAttributes & kAttrLongName) == kAttrLongName ||
            (nAttributes & kAttrVolumeLabel) != 0)
            continue;
        if (tLayout.nOwners == kOwnerLimit) {
            tLayout.bShort = *pbEnd = true;
            return 0;
        }
        Owner &tOwner = tLayout.pOwners[tLayout.nOwners];
        tOwner = {};
        entryName(tLayout.pOwners[nParent].pPath, pEntry, tOwner.pPath, sizeof tOwner.pPath);
        tOwner.bDirectory = (nAttributes & kAttrDirectory) != 0;
        tOwner.nDepth = tLayout.pOwners[nParent].nDepth + 1;
        tOwner.uFirst = getLe16(pEntry + kDirClusterLow);
        if (tLayout.bFat32)
            tOwner.uFirst |= static_cast<uint32_t>(getLe16(pEntry + kDirClusterHigh)) << 16;
        if (followChain(tLayout, tLayout.nOwners++, tOwner.uFirst) != 0)
            return 1;
    }
    return 0;
}

// Owner nOwner's directory, read: its entries become owners.
static int readDirectory(Layout &tLayout, int nOwner)
{
    unsigned char pSector[kSectorSize];
    bool bEnd = false;
    long long llSector;
    const Owner &tOwner = tLayout.pOwners[nOwner];
    const long long llFirstData = tLayout.pStart[1] + tLayout.uDataStart;

    if (nOwner == 0 && !tLayout.bFat32) {
        for (uint32_t u = 0; u < tLayout.uRootSectors && !bEnd; u++) {
            llSector = llFirstData - tLayout.uRootSectors + u;
            if (layoutSector(tLayout, llSector, "root directory", pSector) != 0 ||
                readEntries(tLayout, nOwner, pSector, &bEnd) != 0)
                return 1;
        }
        return 0;
    }
    for (int r = tOwner.nFirstRun; r < tOwner.nFirstRun + tOwner.nRuns && !bEnd; r++) {
        const Run tRun = tLayout.pRuns[r];
        for (uint32_t u = 0; u < tRun.uCount * tLayout.uPerCluster && !bEnd; u++) {
            llSector = llFirstData + static_cast<long long>(tRun.uFirst - 2) * tLayout.uPerCluster + u;
            if (layoutSector(tLayout, llSector, "a directory", pSector) != 0 ||
                readEntries(tLayout, nOwner, pSector, &bEnd) != 0)
                return 1;
        }
    }
    return 0;
}

static int byFirstCluster(const void *pLeft, const void *pRight)
{
    const uint32_t uLeft = static_cast<const Run *>(pLeft)->uFirst, uRight = static_cast<const Run *>(pRight)->uFirst;
    return uLeft < uRight ? -1 : uLeft > uRight;
}

// Partition 1's parameter block, when its boot sector is a FAT one of
// 512-byte sectors whose fields leave a data area; then the directories,
// walked down from the root; the runs sorted for lookups.
int readFat(Layout &tLayout)
{
    unsigned char pBoot[kSectorSize];
    const unsigned char *p = pBoot;

    if (tLayout.pSectors[1] == 0)
        return 0;
    if (layoutSector(tLayout, tLayout.pStart[1], "partition 1's boot sector", pBoot) != 0)
        return 1;
    const uint32_t uPerCluster = p[kOffsetSectorsPerCluster];
    const uint32_t uTotal = getLe16(p + kOffsetTotalSectors16) != 0 ? getLe16(p + kOffsetTotalSectors16)
                                                                    : getLe32(p + kOffsetTotalSectors32);
    tLayout.bFat32 = strcmp(fatType(p), "FAT32") == 0;
    tLayout.uReserved = getLe16(p + kOffsetReservedSectors);
    tLayout.uFats = p[kOffsetNumberOfFats];
    tLayout.uFatSectors = tLayout.bFat32 ? getLe32(p + kOffsetSectorsPerFat32) : getLe16(p + kOffsetSectorsPerFat16);
    tLayout.uRootSectors = tLayout.bFat32 ? 0 : (getLe16(p + kOffsetRootEntries) * 32U + kSectorSize - 1) / kSectorSize;
    tLayout.uBackup = tLayout.bFat32 ? getLe16(p + kOffsetBackupBootSector) : 0;
    tLayout.uFsInfo = tLayout.bFat32 ? getLe16(p + kOffsetFsInfoSector) : 0;
    tLayout.uPerCluster = uPerCluster;
    const uint64_t llDataStart =
        tLayout.uReserved + static_cast<uint64_t>(tLayout.uFats) * tLayout.uFatSectors + tLayout.uRootSectors;
    if (!hasBootSignature(p) || getLe16(p + kOffsetBytesPerSector) != kSectorSize || uPerCluster == 0 ||
        (uPerCluster & (uPerCluster - 1)) != 0 || tLayout.uReserved == 0 || tLayout.uFats == 0 ||
        tLayout.uFatSectors == 0 || llDataStart + uPerCluster > uTotal)
        return 0;
    const uint64_t llEntries = static_cast<uint64_t>(tLayout.uFatSectors) * kSectorSize / (tLayout.bFat32 ? 4 : 2);
    tLayout.bFat = true;
    tLayout.uDataStart = static_cast<uint32_t>(llDataStart);
    tLayout.uClusters = (uTotal - tLayout.uDataStart) / uPerCluster;
    // No more than FAT entries, nor than cluster numbers can name.
    if (tLayout.uClusters > llEntries - 2)
        tLayout.uClusters = static_cast<uint32_t>(llEntries - 2);
    if (tLayout.uClusters > kClusterNumbers)
        tLayout.uClusters = kClusterNumbers;
    tLayout.nOwners = 1;
    tLayout.pOwners[0] = {};
    tLayout.pOwners[0].uFirst = tLayout.bFat32 ? getLe32(p + kOffsetRootCluster) : 0;
    if (tLayout.bFat32 && followChain(tLayout, 0, tLayout.pOwners[0].uFirst) != 0)
        return 1;
    for (int i = 0; i < tLayout.nOwners; i++) {
        if (tLayout.pOwners[i].bDirectory || i == 0) {
            if (tLayout.pOwners[i].nDepth <= kDirectoryDepth && readDirectory(tLayout, i) != 0)
                return 1;
        }
    }
    qsort(tLayout.pRuns, static_cast<size_t>(tLayout.nRuns), sizeof tLayout.pRuns[0], byFirstCluster);
    return 0;
}

// The owner of data cluster uCluster, or -1.
int clusterOwner(const Layout &tLayout, uint32_t uCluster)
{
    int nLow = 0, nHigh = tLayout.nRuns - 1, nMiddle;

    while (nLow <= nHigh) {
        nMiddle = nLow + (nHigh - nLow) / 2;
        const Run &tRun = tLayout.pRuns[nMiddle];
        if (uCluster < tRun.uFirst)
            nHigh = nMiddle - 1;
        else if (uCluster - tRun.uFirst >= tRun.uCount)
            nLow = nMiddle + 1;
        else
            return tRun.nOwner;
    }
    return -1;
}

// Whether a chain holds one of the clusters uLow .. uHigh - 1.
bool ownedIn(const Layout &tLayout, uint64_t uLow, uint64_t uHigh)
{
    int nLow = 0, nHigh = tLayout.nRuns, nMiddle;

    while (nLow < nHigh) {  // the first run starting at uLow or later
        nMiddle = nLow + (nHigh - nLow) / 2;
        if (tLayout.pRuns[nMiddle].uFirst < uLow)
            nLow = nMiddle + 1;
        else
            nHigh = nMiddle;
    }
    return (nLow < tLayout.nRuns && tLayout.pRuns[nLow].uFirst < uHigh) ||
           (nLow > 0 && tLayout.pRuns[nLow - 1].uFirst + tLayout.pRuns[nLow - 1].uCount > uLow);
}
