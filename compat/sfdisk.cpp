// dosprep's sfdisk front end: runs the next sfdisk on PATH with the command
// dosprep writes, unchanged for an old sfdisk, translated for a current one
// (src/sfdiskfront.cpp decides); its output and exit status pass through.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "disklayout.h"
#include "sfdiskfront.h"

// ---- the front end's state ----

// The directories of the front ends a command has passed through, so that a
// chain of copies on PATH never comes back to one of them.
static const char kPassedVariable[] = "DOSPREP_SFDISK_FRONT_ENDS";
// What /bin/sh searches when PATH is not set at all.
static const char kDefaultPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
constexpr size_t kTableLimit = 1 << 20;    // the table read from standard input
constexpr size_t kVersionBytes = 4096;     // the --version text kept
constexpr size_t kListBytes = size_t{4} * PATH_MAX;  // passed directories

static const char *g_pMe = "sfdisk";       // the program's basename, for messages
static char g_pSelf[PATH_MAX];             // this program, /proc/self/exe
static char g_pSelfDir[PATH_MAX];          // its directory
static struct stat g_tSelf;
static char g_pTable[kTableLimit + 1];     // one byte more tells a longer table
static unsigned char g_pCompareA[65536], g_pCompareB[65536];

// ---- finding the next sfdisk ----

static bool sameContents(const char *pFile)
{
    bool bSame = false;
    const int fdA = open(pFile, O_RDONLY | O_CLOEXEC), fdB = open(g_pSelf, O_RDONLY | O_CLOEXEC);
    struct stat tA = {};
    if (fdA >= 0 && fdB >= 0 && fstat(fdA, &tA) == 0 && tA.st_size == g_tSelf.st_size) {
        ssize_t nA = 0;
        do {
            nA = read(fdA, g_pCompareA, sizeof g_pCompareA);
            bSame = nA >= 0 && read(fdB, g_pCompareB, sizeof g_pCompareB) == nA &&
                    memcmp(g_pCompareA, g_pCompareB, static_cast<size_t>(nA)) == 0;
        } while (bSame && nA > 0);
    }
    if (fdA >= 0)
        close(fdA);
    if (fdB >= 0)
        close(fdB);
    return bSame;
}

// True when the list (colon-separated) holds the directory.
static bool listHolds(const char *pList, const char *pDir)
{
    const size_t nDir = strlen(pDir);
    for (const char *p = pList; p != nullptr; p = strchr(p, ':'), p = p ? p + 1 : nullptr)
        if (strncmp(p, pDir, nDir) == 0 && (p[nDir] == ':' || p[nDir] == '\0'))
            return true;
    return false;
}

// A front end of dosprep, this one or a copy: found in this program's
// directory or one already passed, the same file, or the same bytes.
static bool isFrontEnd(const char *pDir, const char *pFile, const struct stat *pFileStat, const char *pPassed)
{
    char pReal[PATH_MAX];
    if (realpath(pDir, pReal) != nullptr && (strcmp(pReal, g_pSelfDir) == 0 || listHolds(pPassed, pReal)))
        return true;
    if (pFileStat->st_dev == g_tSelf.st_dev && pFileStat->st_ino == g_tSelf.st_ino)
        return true;
    return sameContents(pFile);
}

// The first executable sfdisk on PATH that is not a front end, into pOut.
static bool findNextSfdisk(const char *pPassed, char *pOut, size_t nOut)
{
    const char *pPath = getenv("PATH");
    if (pPath == nullptr)
        pPath = kDefaultPath;
    while (*pPath != '\0') {
        const char *pColon = strchr(pPath, ':');
        const size_t nDir = pColon ? static_cast<size_t>(pColon - pPath) : strlen(pPath);
        char pDir[PATH_MAX];
        struct stat tFile = {};
        if (nDir > 0 && nDir < sizeof pDir) {
            memcpy(pDir, pPath, nDir);
            pDir[nDir] = '\0';
            const int nName = snprintf(pOut, nOut, "%s/sfdisk", pDir);
            if (nName > 0 && static_cast<size_t>(nName) < nOut && stat(pOut, &tFile) == 0 &&
                S_ISREG(tFile.st_mode) && access(pOut, X_OK) == 0 && !isFrontEnd(pDir, pOut, &tFile, pPassed))
                return true;
        }
        pPath += nDir + (pColon ? 1 : 0);
    }
    return false;
}

// ---- running it ----

// The --version text of the sfdisk, standard input and error closed off.
static void readVersion(const char *pSfdisk, char *pOut, size_t nOut)
{
    int pPipe[2];
    size_t nKept = 0;
    pOut[0] = '\0';
    if (pipe(pPipe) != 0)
        return;
    const pid_t nChild = fork();
    if (nChild == 0) {
        const int fdNull = open("/dev/null", O_RDWR);
        if (fdNull >= 0) {
            dup2(fdNull, STDIN_FILENO);
            dup2(fdNull, STDERR_FILENO);
        }
        dup2(pPipe[1], STDOUT_FILENO);
        close(pPipe[0]);
        close(pPipe[1]);
        char *const ppArgv[] = {const_cast<char *>(pSfdisk), const_cast<char *>("--version"), nullptr};
        execv(pSfdisk, ppArgv);
        _exit(127);
    }
    close(pPipe[1]);
    if (nChild > 0) {
        char pChunk[512];
        ssize_t nRead = 0;
        while ((nRead = read(pPipe[0], pChunk, sizeof pChunk)) > 0 || (nRead < 0 && errno == EINTR))
            for (ssize_t k = 0; k < nRead && nKept + 1 < nOut; ++k)
                pOut[nKept++] = pChunk[k];
        pOut[nKept] = '\0';
        while (waitpid(nChild, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    close(pPipe[0]);
}

// The disk identifier of an MBR (bytes 440-443 when 510-511 are 55 aa).
// Read from a block device or a regular file only, opened without blocking:
// a FIFO or a terminal that waits for carrier is left to sfdisk to refuse.
static bool readDiskId(const char *pDisk, uint32_t *pnId)
{
    unsigned char pSector[kSectorSize];
    const int fd = open(pDisk, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat tDisk = {};
    const bool bRead = fstat(fd, &tDisk) == 0 && (S_ISBLK(tDisk.st_mode) || S_ISREG(tDisk.st_mode)) &&
                       pread(fd, pSector, sizeof pSector, 0) == kSectorSize;
    close(fd);
    if (!bRead || !hasBootSignature(pSector))
        return false;
    *pnId = getLe32(pSector + kOffsetDiskId);
    return true;
}

// Standard input into g_pTable: its length, or -1 past kTableLimit or on a
// read error (message printed).
static long readTable()
{
    size_t nTable = 0;
    while (nTable < sizeof g_pTable) {
        const ssize_t nRead = read(STDIN_FILENO, g_pTable + nTable, sizeof g_pTable - nTable);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0) {
            fprintf(stderr, "%s: cannot read the table from standard input: %s\n", g_pMe, strerror(errno));
            return -1;
        }
        if (nRead == 0)
            return static_cast<long>(nTable);
        nTable += static_cast<size_t>(nRead);
    }
    fprintf(stderr, "%s: the table on standard input is longer than %zu MiB; nothing was applied\n", g_pMe,
            kTableLimit >> 20);
    return -1;
}

static bool writeAll(int fd, const char *p, size_t n)
{
    while (n > 0) {
        const ssize_t nDone = write(fd, p, n);
        if (nDone < 0 && errno == EINTR)
            continue;
        if (nDone <= 0)
            return false;
        p += nDone;
        n -= static_cast<size_t>(nDone);
    }
    return true;
}

// Standard input becomes a file that holds the header and the table.
static bool replaceInput(const char *pHeader, size_t nTable)
{
    int fd = memfd_create("sfdisk-table", MFD_CLOEXEC);
    if (fd < 0) {
        FILE *pTemp = tmpfile();
        fd = pTemp ? dup(fileno(pTemp)) : -1;
        if (pTemp)
            fclose(pTemp);
    }
    const bool bDone = fd >= 0 && writeAll(fd, pHeader, strlen(pHeader)) && writeAll(fd, g_pTable, nTable) &&
                       lseek(fd, 0, SEEK_SET) == 0 && dup2(fd, STDIN_FILENO) == STDIN_FILENO;
    if (!bDone)
        fprintf(stderr, "%s: cannot pass the table on: %s; nothing was applied\n", g_pMe, strerror(errno));
    if (fd >= 0)
        close(fd);
    return bDone;
}

static int run(const char *pSfdisk, char *const *ppArgv)
{
    execv(pSfdisk, ppArgv);
    fprintf(stderr, "%s: cannot run %s: %s\n", g_pMe, pSfdisk, strerror(errno));
    return 126;
}

int main(int argc, char **argv)
{
    static char pSfdisk[PATH_MAX], pVersion[kVersionBytes], pPassed[kListBytes];
    static SfdiskCall tCall;
    if (argc > 0 && argv[0] != nullptr) {
        const char *pSlash = strrchr(argv[0], '/');
        g_pMe = pSlash ? pSlash + 1 : argv[0];
    }
    const ssize_t nSelf = readlink("/proc/self/exe", g_pSelf, sizeof g_pSelf - 1);
    if (nSelf <= 0 || stat(g_pSelf, &g_tSelf) != 0) {
        fprintf(stderr, "%s: cannot find this program (/proc/self/exe): %s\n", g_pMe, strerror(errno));
        return 127;
    }
    snprintf(g_pSelfDir, sizeof g_pSelfDir, "%s", g_pSelf);
    char *pDirEnd = strrchr(g_pSelfDir, '/');
    if (pDirEnd != nullptr)
        *pDirEnd = '\0';

    // This directory joins the ones passed, for any front end run after.
    const char *pOld = getenv(kPassedVariable);
    const int nPassed = pOld && *pOld ? snprintf(pPassed, sizeof pPassed, "%s:%s", pOld, g_pSelfDir)
                                      : snprintf(pPassed, sizeof pPassed, "%s", g_pSelfDir);
    if (nPassed < 0 || static_cast<size_t>(nPassed) >= sizeof pPassed) {
        fprintf(stderr, "%s: too many sfdisk front ends passed (%s)\n", g_pMe, kPassedVariable);
        return 127;
    }
    if (!findNextSfdisk(pPassed, pSfdisk, sizeof pSfdisk)) {
        fprintf(stderr, "%s: no sfdisk found on PATH besides the dosprep front end (package fdisk)\n", g_pMe);
        return 127;
    }
    setenv(kPassedVariable, pPassed, 1);

    readVersion(pSfdisk, pVersion, sizeof pVersion);
    const int nArgs = argc > 1 ? argc - 1 : 0;
    if (planSfdiskCall(nArgs, argv + 1, pVersion, &tCall) != 0) {
        fprintf(stderr, "%s: more than %d words on the command line\n", g_pMe, kSfdiskWordLimit);
        return 1;
    }
    if (!tCall.bCurrent) {
        argv[0] = pSfdisk;
        return run(pSfdisk, argv);
    }

    const char *ppExec[kSfdiskWordLimit + 2] = {pSfdisk};
    memcpy(ppExec + 1, tCall.ppWords, sizeof tCall.ppWords[0] * static_cast<size_t>(tCall.nWords));
    char *const *ppArgv = const_cast<char *const *>(ppExec);
    if (!tCall.bWholeTable || isatty(STDIN_FILENO))
        return run(pSfdisk, ppArgv);

    // A whole table for one disk: a DOS table, the disk's identifier kept.
    uint32_t nDiskId = 0;
    const bool bMbr = readDiskId(tCall.pDisk, &nDiskId);
    const long nTable = readTable();
    if (nTable < 0)
        return 1;
    char pHeader[kSfdiskHeaderBytes];
    sfdiskTableHeader(g_pTable, static_cast<size_t>(nTable), tCall.bOwnLabel, bMbr, nDiskId, pHeader);
    if (!replaceInput(pHeader, static_cast<size_t>(nTable)))
        return 1;
    return run(pSfdisk, ppArgv);
}
