// diskfields.cpp: the named fields of a FAT boot sector or a master boot
// record and their printing, the bounded reads every command makes, and the
// commands boot, mbr, field, names and program.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "diskbytes.h"

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

// ---- reading ----

static const Field *findField(const char *pName)
{
    for (int i = 0; i < kFieldCount; i++)
        if (strcmp(g_pFields[i].pName, pName) == 0)
            return &g_pFields[i];
    return nullptr;
}

// A decimal sector number into *pllSector: 0, or 2 with a message.
int parseSector(const char *pText, long long *pllSector)
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
int openImage(const char *pFile)
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
int readFrom(int fd, const char *pFile, long long llOffset, int nCount, int nMin, const char *pWhat,
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
int readBytes(const char *pFile, long long llOffset, int nCount, const char *pWhat,
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
int readSector(const char *pFile, long long llSector, unsigned char *pSector)
{
    char pWhat[32];
    snprintf(pWhat, sizeof pWhat, "sector %lld", llSector);
    return readBytes(pFile, llSector * kSectorSize, kSectorSize, pWhat, pSector);
}

// ---- printing ----

const char *fatType(const unsigned char *pSector)
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

int runBoot(char **ppArgs, int nArgs)
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

int runMbr(char **ppArgs, int /* nArgs */)
{
    unsigned char pSector[kSectorSize] = {};

    if (readSector(ppArgs[0], 0, pSector) != 0)
        return 1;
    printFields(pSector, kMbr);
    return 0;
}

int runField(char **ppArgs, int nArgs)
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

int runNames(char **ppArgs, int nArgs)
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

int runProgram(char **ppArgs, int /* nArgs */)
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
