// diskbytes: the named fields of a FAT boot sector or of a master boot record,
// read from a disk image, a partition, a device node or a file, for the
// sandbox's report and the tests. The offsets are those of src/disklayout.h;
// each run reads one sector, or one field, with a single bounded pread.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "disklayout.h"

// ---- the fields ----

// How a value is printed: a little-endian number in decimal; the bytes in
// hex, in their order on disk ("55 aa"); a little-endian number in hex, as
// sfdisk prints a disk identifier.
enum { kNumber, kBytes, kHexNumber };
// Which sector a field belongs to; the signature ends both.
enum { kBoot = 1, kMbr = 2, kBoth = kBoot | kMbr };

struct Field {
    const char *pName;
    int nFirst;  // its first byte in the sector
    int nSize;   // 1, 2 or 4 bytes
    int nKind;
    int nArea;
};

constexpr int entry(int nPartition, int nField)  // a field of partition entry 1 to 4
{
    return kOffsetPartitionTable + (nPartition - 1) * kPartitionEntrySize + nField;
}

// In the order boot and mbr print them.
static constexpr Field g_pFields[] = {
    {"bytes_per_sector", kOffsetBytesPerSector, 2, kNumber, kBoot},
    {"sectors_per_cluster", kOffsetSectorsPerCluster, 1, kNumber, kBoot},
    {"reserved_sectors", kOffsetReservedSectors, 2, kNumber, kBoot},
    {"number_of_fats", kOffsetNumberOfFats, 1, kNumber, kBoot},
    {"root_entries", kOffsetRootEntries, 2, kNumber, kBoot},
    {"total_sectors16", kOffsetTotalSectors16, 2, kNumber, kBoot},
    {"sectors_per_fat16", kOffsetSectorsPerFat16, 2, kNumber, kBoot},
    {"sectors_per_track", kOffsetSectorsPerTrack, 2, kNumber, kBoot},
    {"heads", kOffsetHeads, 2, kNumber, kBoot},
    {"hidden_sectors", kOffsetHiddenSectors, 4, kNumber, kBoot},
    {"total_sectors32", kOffsetTotalSectors32, 4, kNumber, kBoot},
    {"drive_number16", kOffsetDriveNumber16, 1, kBytes, kBoot},
    {"sectors_per_fat32", kOffsetSectorsPerFat32, 4, kNumber, kBoot},
    {"root_cluster", kOffsetRootCluster, 4, kNumber, kBoot},
    {"fs_info_sector", kOffsetFsInfoSector, 2, kNumber, kBoot},
    {"backup_boot_sector", kOffsetBackupBootSector, 2, kNumber, kBoot},
    {"drive_number32", kOffsetDriveNumber32, 1, kBytes, kBoot},
    {"drive_stamp", kOffsetDriveStamp, 4, kBytes, kMbr},
    {"disk_id", kOffsetDiskId, 4, kHexNumber, kMbr},
    {"partition1_status", entry(1, kEntryStatus), 1, kBytes, kMbr},
    {"partition1_type", entry(1, kEntryType), 1, kBytes, kMbr},
    {"partition1_start", entry(1, kEntryStart), 4, kNumber, kMbr},
    {"partition1_sectors", entry(1, kEntrySectors), 4, kNumber, kMbr},
    {"partition2_status", entry(2, kEntryStatus), 1, kBytes, kMbr},
    {"partition2_type", entry(2, kEntryType), 1, kBytes, kMbr},
    {"partition2_start", entry(2, kEntryStart), 4, kNumber, kMbr},
    {"partition2_sectors", entry(2, kEntrySectors), 4, kNumber, kMbr},
    {"partition3_status", entry(3, kEntryStatus), 1, kBytes, kMbr},
    {"partition3_type", entry(3, kEntryType), 1, kBytes, kMbr},
    {"partition3_start", entry(3, kEntryStart), 4, kNumber, kMbr},
    {"partition3_sectors", entry(3, kEntrySectors), 4, kNumber, kMbr},
    {"partition4_status", entry(4, kEntryStatus), 1, kBytes, kMbr},
    {"partition4_type", entry(4, kEntryType), 1, kBytes, kMbr},
    {"partition4_start", entry(4, kEntryStart), 4, kNumber, kMbr},
    {"partition4_sectors", entry(4, kEntrySectors), 4, kNumber, kMbr},
    {"signature", kOffsetSignature, 2, kBytes, kBoth},
};
constexpr int kFieldCount = sizeof g_pFields / sizeof g_pFields[0];

// The line boot prints after the fields, and a name field takes: which of
// the two layouts the sector follows, by the rule the report applies.
static const char kFatTypeName[] = "fat_type";

// The last sector whose bytes an off_t still reaches.
constexpr long long kSectorLimit = INT64_MAX / kSectorSize - 1;
static_assert(sizeof(off_t) >= sizeof(long long), "offsets past 2 GiB");

// ---- reading ----

static const Field *findField(const char *pName)
{
    for (int i = 0; i < kFieldCount; i++)
        if (strcmp(g_pFields[i].pName, pName) == 0)
            return &g_pFields[i];
    return nullptr;
}

// A decimal sector number into *pllSector: 0, or 2 with a message.
static int parseSector(const char *pText, long long *pllSector)
{
    long long llSector = 0;
    const char *p = pText;

    for (; *p >= '0' && *p <= '9'; p++) {
        if (llSector > (kSectorLimit - (*p - '0')) / 10)
            break;
        llSector = llSector * 10 + (*p - '0');
    }
    if (p == pText || *p != '\0') {
        fprintf(stderr, "diskbytes: sector '%s': wants a number from 0 to %lld\n", pText, kSectorLimit);
        return 2;
    }
    *pllSector = llSector;
    return 0;
}

// pFile opened for reading: its descriptor, or -1 with a message.
static int openImage(const char *pFile)
{
    struct stat tFile = {};
    // Not blocking on a FIFO or a terminal: those are refused below.
    const int fd = open(pFile, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);

    if (fd < 0) {
        fprintf(stderr, "diskbytes: %s: cannot open: %s\n", pFile, strerror(errno));
        return -1;
    }
    if (fstat(fd, &tFile) != 0 || !(S_ISREG(tFile.st_mode) || S_ISBLK(tFile.st_mode))) {
        fprintf(stderr, "diskbytes: %s: not a regular file or a block device\n", pFile);
        close(fd);
        return -1;
    }
    return fd;
}

// Up to nCount bytes of fd (the file pFile) from llOffset into pBuffer, and
// their count into *pnGot: 0, or 1 with a message naming the file and pWhat,
// the sector or field they are read for, when fewer than nMin are there.
static int readFrom(int fd, const char *pFile, long long llOffset, int nCount, int nMin, const char *pWhat,
                    unsigned char *pBuffer, int *pnGot)
{
    int nGot = 0;
    ssize_t nRead;
    off_t llEnd;

    while (nGot < nCount) {
        nRead = pread(fd, pBuffer + nGot, static_cast<size_t>(nCount - nGot), llOffset + nGot);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0) {
            fprintf(stderr, "diskbytes: %s: cannot read %s (bytes %lld-%lld): %s\n", pFile, pWhat, llOffset,
                    llOffset + nCount - 1, strerror(errno));
            return 1;
        }
        if (nRead == 0)
            break;
        nGot += static_cast<int>(nRead);
    }
    *pnGot = nGot;
    if (nGot >= nMin)
        return 0;
    llEnd = lseek(fd, 0, SEEK_END);
    if (llEnd >= 0)
        fprintf(stderr, "diskbytes: %s: %lld bytes long, too short for %s (bytes %lld-%lld)\n", pFile,
                static_cast<long long>(llEnd), pWhat, llOffset, llOffset + nCount - 1);
    else
        fprintf(stderr, "diskbytes: %s: too short for %s (bytes %lld-%lld)\n", pFile, pWhat, llOffset,
                llOffset + nCount - 1);
    return 1;
}

// nCount bytes of pFile from llOffset into pBuffer: 0, or 1 with a message.
static int readBytes(const char *pFile, long long llOffset, int nCount, const char *pWhat,
                     unsigned char *pBuffer)
{
    int nGot = 0;
    const int fd = openImage(pFile);

    if (fd < 0)
        return 1;
    const int nStatus = readFrom(fd, pFile, llOffset, nCount, nCount, pWhat, pBuffer, &nGot);
    close(fd);
    return nStatus;
}

// Sector llSector of pFile, whole, into pSector (kSectorSize bytes).
static int readSector(const char *pFile, long long llSector, unsigned char *pSector)
{
    char pWhat[32];
    snprintf(pWhat, sizeof pWhat, "sector %lld", llSector);
    return readBytes(pFile, llSector * kSectorSize, kSectorSize, pWhat, pSector);
}

// ---- printing ----

static const char *fatType(const unsigned char *pSector)
{
    // No 16-bit FAT size, and a 32-bit one or the signature: dosprep's
    // FAT32 boot area over a partition with no file system leaves the
    // 32-bit size at 0 too.
    if (getLe16(pSector + kOffsetSectorsPerFat16) == 0 &&
        (getLe32(pSector + kOffsetSectorsPerFat32) != 0 || hasBootSignature(pSector)))
        return "FAT32";
    return "FAT16";
}

// The value of tField, whose bytes start at pBytes, and a line end.
static void printValue(const Field &tField, const unsigned char *pBytes)
{
    uint32_t uValue = pBytes[0];

    if (tField.nSize == 2)
        uValue = getLe16(pBytes);
    else if (tField.nSize == 4)
        uValue = getLe32(pBytes);
    if (tField.nKind == kNumber) {
        printf("%" PRIu32 "\n", uValue);
    } else if (tField.nKind == kHexNumber) {
        printf("0x%08" PRIx32 "\n", uValue);
    } else {
        for (int i = 0; i < tField.nSize; i++)
            printf("%s%02x", i == 0 ? "" : " ", pBytes[i]);
        putchar('\n');
    }
}

static void printSpan(const Field &tField)
{
    printf("%s %d-%d", tField.pName, tField.nFirst, tField.nFirst + tField.nSize - 1);
}

// Every field of nArea in pSector, one "NAME FIRST-LAST VALUE" line each.
static void printFields(const unsigned char *pSector, int nArea)
{
    for (int i = 0; i < kFieldCount; i++) {
        if ((g_pFields[i].nArea & nArea) == 0)
            continue;
        printSpan(g_pFields[i]);
        putchar(' ');
        printValue(g_pFields[i], pSector + g_pFields[i].nFirst);
    }
}

// ---- the commands ----

static int runBoot(char **ppArgs, int nArgs)
{
    unsigned char pSector[kSectorSize] = {};
    long long llSector = 0;

    if (nArgs > 1 && parseSector(ppArgs[1], &llSector) != 0)
        return 2;
    if (readSector(ppArgs[0], llSector, pSector) != 0)
        return 1;
    printFields(pSector, kBoot);
    printf("%s - %s\n", kFatTypeName, fatType(pSector));
    return 0;
}

static int runMbr(char **ppArgs, int /* nArgs */)
{
    unsigned char pSector[kSectorSize] = {};

    if (readSector(ppArgs[0], 0, pSector) != 0)
        return 1;
    printFields(pSector, kMbr);
    return 0;
}

static int runField(char **ppArgs, int nArgs)
{
    unsigned char pSector[kSectorSize] = {};
    long long llSector = 0;
    const Field *pField = findField(ppArgs[1]);

    if (pField == nullptr && strcmp(ppArgs[1], kFatTypeName) != 0) {
        fprintf(stderr, "diskbytes: no field named '%s' (diskbytes names lists them)\n", ppArgs[1]);
        return 2;
    }
    if (nArgs > 2 && parseSector(ppArgs[2], &llSector) != 0)
        return 2;
    if (pField == nullptr) {
        if (readSector(ppArgs[0], llSector, pSector) != 0)
            return 1;
        printf("%s\n", fatType(pSector));
        return 0;
    }
    // The field's bytes alone: a file that ends past them will do.
    if (readBytes(ppArgs[0], llSector * kSectorSize + pField->nFirst, pField->nSize, pField->pName, pSector) != 0)
        return 1;
    printValue(*pField, pSector);
    return 0;
}

static int runNames(char **ppArgs, int nArgs)
{
    const Field *pField;

    for (int i = 0; i < nArgs; i++) {
        pField = findField(ppArgs[i]);
        if (pField != nullptr) {
            printSpan(*pField);
            putchar('\n');
        } else if (strcmp(ppArgs[i], kFatTypeName) == 0) {
            printf("%s -\n", kFatTypeName);
        } else {
            fprintf(stderr, "diskbytes: no field named '%s' (diskbytes names lists them)\n", ppArgs[i]);
            return 2;
        }
    }
    if (nArgs > 0)
        return 0;
    for (int i = 0; i < kFieldCount; i++) {
        printSpan(g_pFields[i]);
        putchar('\n');
    }
    printf("%s -\n", kFatTypeName);
    return 0;
}

// ---- a program's ELF header: static, or loaded by a dynamic loader ----
// A 64-bit ELF file names its program headers at byte 32 (their offset, 8
// bytes), 54 (the size of one) and 56 (how many); a header of type 3
// (PT_INTERP) names the loader that a dynamically linked program needs.
constexpr int kElfProgramHeaders = 32, kElfHeaderSize = 54, kElfHeaderCount = 56, kElfHeaderBytes = 64;
constexpr uint32_t kElfInterpreter = 3;
constexpr int kElfHeadersLimit = 64;

static int runProgram(char **ppArgs, int /* nArgs */)
{
    static unsigned char pHeader[kElfHeaderBytes], pEntries[kElfHeadersLimit * 64];
    static const unsigned char pMagic[] = {0x7f, 'E', 'L', 'F', 2};

    if (readBytes(ppArgs[0], 0, kElfHeaderBytes, "its ELF header", pHeader) != 0)
        return 1;
    const int nSize = getLe16(pHeader + kElfHeaderSize), nCount = getLe16(pHeader + kElfHeaderCount);
    const uint64_t llAt = getLe32(pHeader + kElfProgramHeaders) |
                          static_cast<uint64_t>(getLe32(pHeader + kElfProgramHeaders + 4)) << 32;
    if (memcmp(pHeader, pMagic, sizeof pMagic) != 0 || nSize < 4 || nSize > 64 || nCount < 1 ||
        nCount > kElfHeadersLimit || llAt > (1ULL << 40)) {
        fprintf(stderr, "diskbytes: %s: not a 64-bit ELF program\n", ppArgs[0]);
        return 1;
    }
    if (readBytes(ppArgs[0], static_cast<long long>(llAt), nSize * nCount, "its program headers", pEntries) != 0)
        return 1;
    for (int i = 0; i < nCount; i++) {
        if (getLe32(pEntries + static_cast<ptrdiff_t>(i) * nSize) == kElfInterpreter) {
            puts("dynamic");
            return 0;
        }
    }
    puts("static");
    return 0;
}

// ---- a boot's reads, mapped to what the disk holds there ----
// The MBR's partitions and partition 1's FAT: its boot area, FATs, root
// directory and the clusters of every file and directory found from the
// root down kDirectoryDepth levels, the chains followed through FAT 1.
constexpr int kDirectoryDepth = 4;
constexpr int kOwnerLimit = 4096;                  // files and directories mapped
constexpr int kRunLimit = 65536;                   // runs of consecutive clusters
constexpr uint32_t kFollowLimit = 1U << 22;        // clusters followed in all chains
constexpr uint32_t kMarkedClusters = 1U << 22;     // clusters a chain can mark as its own
constexpr long kReadLimit = 100000;                // reads taken from the trace
constexpr long kLineLimit = 2000;                  // lines printed for them
constexpr uint32_t kClusterNumbers = 0x0ffffff0;  // FAT32 names no more clusters
constexpr int kPathSize = (kDirectoryDepth + 1) * 13 + 1;
constexpr int kTraceLineSize = 4096;

struct Owner {  // a file or directory, or the root directory (owner 0)
    char pPath[kPathSize];
    bool bDirectory;
    int nDepth;           // 0: the root directory
    uint32_t uFirst;      // its first cluster, 0: none
    int nFirstRun, nRuns; // its runs, in chain order until the runs are sorted
    bool bEntered;        // a read has landed in it
};

struct Run {  // uCount consecutive clusters of one chain
    uint32_t uFirst, uCount;
    int nOwner;
};

struct Layout {
    const char *pFile;
    int fd;
    long long pStart[kPartitionEntries + 1], pSectors[kPartitionEntries + 1];  // [1..4]
    unsigned char pType[kPartitionEntries + 1];
    bool bFat, bFat32;
    uint32_t uReserved, uFats, uFatSectors, uRootSectors, uPerCluster, uBackup, uFsInfo;
    uint32_t uDataStart, uClusters;  // partition-relative; clusters 2 .. uClusters + 1
    long long llCachedSector;        // of pCache, -1: none
    unsigned char pCache[kSectorSize];
    Owner pOwners[kOwnerLimit];
    int nOwners;
    Run pRuns[kRunLimit];
    int nRuns;
    unsigned char pMarked[kMarkedClusters / 8];
    uint32_t uFollowed;
    bool bShort;  // a bound stopped the walk
};

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
static void entryName(const char *pParent, const unsigned char *pEntry, char *pOut, size_t nSize)
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
static int readFat(Layout &tLayout)
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
static int clusterOwner(const Layout &tLayout, uint32_t uCluster)
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
static bool ownedIn(const Layout &tLayout, uint64_t uLow, uint64_t uHigh)
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

static int runReads(char **ppArgs, int /* nArgs */)
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

static int runNames83(char **ppArgs, int nArgs)
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

struct Command {
    const char *pName;
    const char *pArgs;
    const char *pHelp;
    int nMin, nMax;  // arguments after the command's name; -1: no limit
    int (*pRun)(char **ppArgs, int nArgs);
};

static const Command g_pCommands[] = {
    {"boot", "FILE [SECTOR]", "the boot sector at SECTOR (default 0): its fields, then fat_type", 1, 2, runBoot},
    {"mbr", "FILE", "sector 0 as a master boot record", 1, 1, runMbr},
    {"field", "FILE NAME [SECTOR]", "the value of one field, or fat_type", 2, 3, runField},
    {"names", "[NAME...]", "where the fields lie: NAME FIRST-LAST", 0, -1, runNames},
    {"program", "FILE", "static or dynamic: whether a 64-bit ELF program names a loader", 1, 1, runProgram},
    {"reads", "IMAGE TRACE", "what each read of a boot's block trace lands on, then a summary", 2, 2, runReads},
    {"names83", "FILE [SECTOR]", "the 8.3 file names that the boot code at SECTOR carries", 1, 2, runNames83},
};

static int usage(FILE *pOut)
{
    char pLine[64];

    for (const Command &tCommand : g_pCommands) {
        snprintf(pLine, sizeof pLine, "%s %s", tCommand.pName, tCommand.pArgs);
        fprintf(pOut, "%s diskbytes %-24s %s\n", &tCommand == g_pCommands ? "usage:" : "      ", pLine,
                tCommand.pHelp);
    }
    fputs("Lines are NAME FIRST-LAST VALUE, FIRST and LAST the field's bytes in its sector.\n"
          "Numbers are little-endian, printed in decimal; drive numbers, a partition's\n"
          "status and type, the drive stamp and the signature are printed as their bytes\n"
          "in hex (\"55 aa\"), the disk identifier as 0x and eight hex digits. fat_type is\n"
          "FAT32 when the 16-bit FAT size is 0 and the 32-bit one is not or the sector\n"
          "ends in 55 aa, FAT16 otherwise. field reads the field's bytes alone.\n"
          "\n"
          "reads takes the lines of TRACE (\"-\": standard input) that hold \"offset BYTE\n"
          "bytes COUNT\" (QEMU's blk_co_preadv trace), in order, and prints for each run\n"
          "of reads of one thing a line SECTOR WHAT[, N reads][, S sectors]: SECTOR the\n"
          "disk sector of the run's first read, S the sectors the reads cover when a read\n"
          "spans more than one. WHAT is what a read's first sector holds: MBR; boot\n"
          "sector of partition 1; boot area sector N, backup boot sector, FSInfo sector;\n"
          "FAT K sector N; root directory; directory PATH; PATH cluster N (a file's,\n"
          "PATH its 8.3 names from the root, DIR/FILE.EXT); free space in partition 1;\n"
          "partition 1 past its file system; partition N sector M (other partitions, and\n"
          "partition 1 when its boot sector has no 55 aa, not 512 bytes per sector or no\n"
          "data area); outside every partition. Consecutive sectors, FAT sectors or\n"
          "clusters of one thing fold: \"FAT 1 sectors 0-2\", \"F.SYS clusters 3-9\".\n"
          "Directories are walked 4 levels below the root, chains followed through FAT 1\n"
          "to their end, a loop or a cluster another chain holds; past the image's end\n"
          "its sectors read as zeros. \"... \" lines tell what a bound left out (100000\n"
          "reads, 2000 lines, the walk's). Then the summary:\n"
          "  = file_system FAT16|FAT32|none   partition 1's\n"
          "  = root_directory SECTOR|none     its first disk sector, from partition 1's\n"
          "                                   start and its parameter block\n"
          "  = boot_sector_read yes|no        partition 1's boot sector was read\n"
          "  = root_read yes|no\n"
          "  = files [PATH...]                files read, in the order of their first read\n"
          "  = stray SECTOR WHAT|none         the first read after partition 1's boot sector\n"
          "                                   that lands where its boot code has nothing to\n"
          "                                   look for: not the boot area, the root\n"
          "                                   directory, a FAT sector that holds entries of\n"
          "                                   a chain, nor a file or directory entered at\n"
          "                                   its first sector or already entered\n"
          "  = reads N                        the reads mapped\n"
          "names83 prints, one a line as NAME.EXT, the 11-byte runs of a boot sector's code\n"
          "(62-509, FAT32 90-509; the whole of a file shorter than a sector) that look like\n"
          "a short name: a letter, name characters, spaces to 8 bytes, then 1-3 letters\n"
          "or digits and spaces; after a byte that is no letter or digit.\n"
          "Status 1: a file cannot be read, or ends before what is read; 2: usage.\n",
          pOut);
    return pOut == stdout ? 0 : 2;
}

int main(int argc, char **argv)
{
    int nStatus = 2;

    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0))
        return usage(stdout);
    for (const Command &tCommand : g_pCommands) {
        if (argc < 2 || strcmp(argv[1], tCommand.pName) != 0)
            continue;
        if (argc - 2 < tCommand.nMin || (tCommand.nMax >= 0 && argc - 2 > tCommand.nMax))
            return usage(stderr);
        nStatus = tCommand.pRun(argv + 2, argc - 2);
        if (fflush(stdout) != 0 || ferror(stdout)) {
            fprintf(stderr, "diskbytes: cannot write the output: %s\n", strerror(errno));
            return 1;
        }
        return nStatus;
    }
    if (argc >= 2)
        fprintf(stderr, "diskbytes: unknown command '%s'\n", argv[1]);
    return usage(stderr);
}
