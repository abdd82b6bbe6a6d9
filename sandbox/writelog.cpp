// writelog.cpp: the write log that QEMU's blklogwrites keeps of the boot
// disk (dm-log-writes' format): its entries (writelog) and a disk replayed
// from a start image up to one of them (replay), for --power-cut.
//
// The log: sector 0 a super block (magic, version, entry count, sector
// size); then per entry one sector of header (sector, sector count, flags,
// data length, little-endian 64-bit each) followed by its data, whole
// sectors, except for a discard, which has none. The super block's count is
// written at flushes only, so the entries are walked to the file's end or
// an empty header instead.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diskbytes.h"

namespace {

constexpr unsigned long long kLogMagic = 0x6a736677736872ULL;
constexpr unsigned long long kFlagFlush = 1, kFlagFua = 2, kFlagDiscard = 4, kFlagMark = 8;
constexpr long long kMaxEntries = 10000000;  // bounds a damaged log's walk
constexpr int kChunkSectors = 256;           // replayed 128 KiB at a time

struct LogEntry {
    long long llSector, llCount;
    unsigned long long ullFlags;
    long long llData;  // the log sector its data starts at
};

unsigned long long le64(const unsigned char *p)
{
    unsigned long long v = 0;
    for (int i = 7; i >= 0; i--)
        v = v << 8 | p[i];
    return v;
}

// Opens LOG and checks its super block; 0 and the descriptor, or 1 said.
int openLog(const char *pLog, int *pfd)
{
    unsigned char pSuper[kSectorSize];
    int nGot = 0;

    *pfd = openImage(pLog);
    if (*pfd < 0)
        return 1;
    if (readFrom(*pfd, pLog, 0, kSectorSize, kSectorSize, "its super block", pSuper, &nGot) != 0)
        return 1;
    if (le64(pSuper) != kLogMagic || le64(pSuper + 8) != 1 || (pSuper[24] | pSuper[25] << 8) != kSectorSize ||
        pSuper[26] != 0 || pSuper[27] != 0) {
        fprintf(stderr, "diskbytes: %s: not a write log of 512-byte sectors (dm-log-writes version 1)\n", pLog);
        return 1;
    }
    return 0;
}

// The entry at log sector *pllAt; 1 and *pllAt past it, 0 at the log's end,
// -1 said for a damaged one.
int nextEntry(int fd, const char *pLog, long long *pllAt, LogEntry *pEntry)
{
    unsigned char pHead[32];
    int nGot = 0;

    if (readFrom(fd, pLog, *pllAt * kSectorSize, 32, 0, "an entry", pHead, &nGot) != 0)
        return -1;
    if (nGot < 32)
        return 0;
    pEntry->llSector = (long long)le64(pHead);
    pEntry->llCount = (long long)le64(pHead + 8);
    pEntry->ullFlags = le64(pHead + 16);
    if (pEntry->llCount == 0 && pEntry->ullFlags == 0)
        return 0;  // never written: the log ends here
    if ((pEntry->ullFlags & ~(kFlagFlush | kFlagFua | kFlagDiscard | kFlagMark)) != 0 || pEntry->llSector < 0 ||
        pEntry->llCount < 0 || pEntry->llSector > kSectorLimit - pEntry->llCount) {
        fprintf(stderr, "diskbytes: %s: a damaged entry at log sector %lld\n", pLog, *pllAt);
        return -1;
    }
    pEntry->llData = *pllAt + 1;
    *pllAt = pEntry->llData + ((pEntry->ullFlags & kFlagDiscard) ? 0 : pEntry->llCount);
    return 1;
}

const char *kindOf(const LogEntry &tEntry)
{
    if (tEntry.ullFlags & kFlagDiscard)
        return "discard";
    if (tEntry.llCount == 0)
        return (tEntry.ullFlags & kFlagFlush) ? "flush" : "mark";
    return "write";
}

// Copies an entry's data (zeros for a discard) into the image.
int replayEntry(int fdLog, const char *pLog, int fdImage, const char *pImage, const LogEntry &tEntry)
{
    static unsigned char pBuffer[kChunkSectors * kSectorSize];
    bool bDiscard = (tEntry.ullFlags & kFlagDiscard) != 0;

    if (bDiscard)
        memset(pBuffer, 0, sizeof pBuffer);
    for (long long llDone = 0; llDone < tEntry.llCount;) {
        long long llNow = tEntry.llCount - llDone < kChunkSectors ? tEntry.llCount - llDone : kChunkSectors;
        int nBytes = (int)llNow * kSectorSize, nGot = 0;
        if (!bDiscard && readFrom(fdLog, pLog, (tEntry.llData + llDone) * kSectorSize, nBytes, nBytes,
                                  "an entry's data", pBuffer, &nGot) != 0)
            return 1;
        if (pwrite(fdImage, pBuffer, nBytes, (tEntry.llSector + llDone) * kSectorSize) != nBytes) {
            fprintf(stderr, "diskbytes: %s: cannot write sector %lld: %s\n", pImage, tEntry.llSector + llDone,
                    strerror(errno));
            return 1;
        }
        llDone += llNow;
    }
    return 0;
}

}  // namespace

// writelog LOG: one line per entry, "N KIND SECTOR COUNT" (N from 1; KIND
// write, flush, discard or mark; QEMU logs a flush as an entry of its own).
int runWriteLog(char **ppArgs, int)
{
    LogEntry tEntry;
    long long llAt = 1, n = 0;
    int fd = -1, nRead;

    if (openLog(ppArgs[0], &fd) != 0)
        return 1;
    while (n < kMaxEntries && (nRead = nextEntry(fd, ppArgs[0], &llAt, &tEntry)) > 0) {
        n++;
        printf("%lld %s %lld %lld\n", n, kindOf(tEntry), tEntry.llSector, tEntry.llCount);
    }
    close(fd);
    return nRead < 0 ? 1 : 0;
}

// replay LOG IMAGE FIRST LAST [SECTORS]: entries FIRST to LAST (from 1)
// written into IMAGE, which is changed in place, of entry LAST its first
// SECTORS sectors only (a write the power cut tore); a log with fewer
// entries is an error.
int runReplay(char **ppArgs, int nArgs)
{
    LogEntry tEntry;
    long long llFirst = 0, llLast = 0, llTorn = -1, llAt = 1, n = 0;
    int fdLog = -1, fdImage, nRead = 0, nStatus = 0;

    if (parseSector(ppArgs[2], &llFirst) != 0 || parseSector(ppArgs[3], &llLast) != 0 || llFirst < 1 ||
        (nArgs > 4 && parseSector(ppArgs[4], &llTorn) != 0)) {
        fprintf(stderr, "diskbytes: replay wants entries FIRST to LAST, counted from 1, and SECTORS\n");
        return 2;
    }
    if (openLog(ppArgs[0], &fdLog) != 0)
        return 1;
    fdImage = open(ppArgs[1], O_WRONLY | O_CLOEXEC);
    if (fdImage < 0) {
        fprintf(stderr, "diskbytes: %s: %s\n", ppArgs[1], strerror(errno));
        close(fdLog);
        return 1;
    }
    while (nStatus == 0 && n < llLast && (nRead = nextEntry(fdLog, ppArgs[0], &llAt, &tEntry)) > 0) {
        n++;
        if (n == llLast && llTorn >= 0 && llTorn < tEntry.llCount)
            tEntry.llCount = llTorn;
        if (n >= llFirst && tEntry.llCount > 0)
            nStatus = replayEntry(fdLog, ppArgs[0], fdImage, ppArgs[1], tEntry);
    }
    if (nStatus == 0 && nRead >= 0 && n < llLast) {
        fprintf(stderr, "diskbytes: %s: %lld entries, not %lld\n", ppArgs[0], n, llLast);
        nStatus = 1;
    }
    if (close(fdImage) != 0 && nStatus == 0) {
        fprintf(stderr, "diskbytes: %s: %s\n", ppArgs[1], strerror(errno));
        nStatus = 1;
    }
    close(fdLog);
    return nRead < 0 ? 1 : nStatus;
}
