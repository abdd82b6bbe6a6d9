// dosprep fuzzing: the jail behind jail.h. Its calls map an absolute or
// relative path P to <tree>/P, refuse any path with a ".." component, and
// never run a program. tools/fuzz-audit checks that the renamed code under
// test calls nothing of this kind that is not served here.
#include "jail.h"

#include <fcntl.h>
#include <ftw.h>
#include <linux/hdreg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static char pJailRoot[64];
static char pMapped[2][4096 + 80];
static unsigned char pPipe[4096];
static size_t nPipe = 0;
static bool bGeoOk = false;
static struct hd_geometry geoJail;
static int nSystemCount = 0;
static char pLastSystem[512];
static jmp_buf *pExitTarget = nullptr;
static int nExitStatus = 0;

static bool hasDotDot(const char *psPath)
{
    for (const char *p = psPath; *p != '\0'; p++) {
        const bool bStart = p == psPath || p[-1] == '/';
        if (bStart && p[0] == '.' && p[1] == '.' && (p[2] == '/' || p[2] == '\0'))
            return true;
    }
    return false;
}

// The jailed path of PATH in one of two slots, or nullptr with errno set.
static const char *mapPath(const char *psPath, int nSlot)
{
    if (psPath == nullptr) {
        errno = EFAULT;
        return nullptr;
    }
    if (psPath[0] == '\0') {
        errno = ENOENT;
        return nullptr;
    }
    if (hasDotDot(psPath)) {
        errno = EACCES;
        return nullptr;
    }
    const int n = snprintf(pMapped[nSlot], sizeof pMapped[nSlot], "%s%s%s", pJailRoot,
                           psPath[0] == '/' ? "" : "/", psPath);
    if (n < 0 || static_cast<size_t>(n) >= sizeof pMapped[nSlot]) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    return pMapped[nSlot];
}

static int removeEntry(const char *psPath, const struct stat *, int, struct FTW *)
{
    return remove(psPath);
}

static void removeTree()
{
    nftw(pJailRoot, removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

static void makeTree()
{
    if (pJailRoot[0] == '\0') {
        const char *psTmp = getenv("TMPDIR");
        snprintf(pJailRoot, sizeof pJailRoot, "%s/dosprep-jail.XXXXXX",
                 psTmp != nullptr && psTmp[0] == '/' && strlen(psTmp) < 32 ? psTmp : "/tmp");
        if (mkdtemp(pJailRoot) == nullptr) {
            perror("jail: mkdtemp");
            abort();
        }
        atexit(removeTree);
    }
}

void jailReset()
{
    makeTree();
    removeTree();
    mkdir(pJailRoot, 0700);
    nPipe = 0;
    bGeoOk = false;
    nSystemCount = 0;
    pLastSystem[0] = '\0';
}

static bool makeParents(const char *psReal)
{
    char pDir[sizeof pMapped[0]];
    snprintf(pDir, sizeof pDir, "%s", psReal);
    for (char *p = pDir + strlen(pJailRoot) + 1; *p != '\0'; p++) {
        if (*p != '/')
            continue;
        *p = '\0';
        if (mkdir(pDir, 0700) != 0 && errno != EEXIST)
            return false;
        *p = '/';
    }
    return true;
}

bool jailMkdir(const char *psPath)
{
    makeTree();
    const char *psReal = mapPath(psPath, 0);
    if (psReal == nullptr || !makeParents(psReal))
        return false;
    return mkdir(psReal, 0700) == 0 || errno == EEXIST;
}

bool jailPut(const char *psPath, const void *pData, size_t nSize)
{
    makeTree();
    const char *psReal = mapPath(psPath, 0);
    if (psReal == nullptr || !makeParents(psReal))
        return false;
    FILE *fp = fopen(psReal, "w");
    if (fp == nullptr)
        return false;
    const bool bOk = nSize == 0 || fwrite(pData, 1, nSize, fp) == nSize;
    return fclose(fp) == 0 && bOk;
}

long jailGet(const char *psPath, void *pBuf, size_t nMax)
{
    const char *psReal = mapPath(psPath, 0);
    FILE *fp = psReal == nullptr ? nullptr : fopen(psReal, "r");
    if (fp == nullptr)
        return -1;
    const size_t n = fread(pBuf, 1, nMax, fp);
    fclose(fp);
    return static_cast<long>(n);
}

const char *jailRealPath(const char *psPath)
{
    return mapPath(psPath, 0);
}

void jailSetPipe(const void *pData, size_t nSize)
{
    nPipe = nSize < sizeof pPipe ? nSize : sizeof pPipe;
    memcpy(pPipe, pData, nPipe);
}

void jailSetGeometry(bool bOk, unsigned char ucHeads, unsigned char ucSectors,
                     unsigned short usCylinders)
{
    bGeoOk = bOk;
    memset(&geoJail, 0, sizeof geoJail);
    geoJail.heads = ucHeads;
    geoJail.sectors = ucSectors;
    geoJail.cylinders = usCylinders;
}

int jailSystemCount()
{
    return nSystemCount;
}

const char *jailLastSystem()
{
    return pLastSystem;
}

int jailCatchExit(void (*pfnCall)(void *), void *pArg)
{
    jmp_buf jbHere;
    jmp_buf *pOuter = pExitTarget;
    pExitTarget = &jbHere;
    // exit() must come back here: only a long jump leaves a noreturn call.
    if (setjmp(jbHere) != 0) {  // NOLINT(cert-err52-cpp)
        pExitTarget = pOuter;
        return nExitStatus;
    }
    pfnCall(pArg);
    pExitTarget = pOuter;
    return -1;
}

// The mode argument that open() and openat() carry only with O_CREAT or
// O_TMPFILE. (The analyzer loses the va_start of a variadic extern "C"
// function.)
#define OPEN_MODE(nFlags, nMode)                                                       \
    do {                                                                               \
        if (((nFlags) & (O_CREAT | O_TMPFILE)) != 0) {                                 \
            va_list ap;                                                                \
            va_start(ap, nFlags);                                                      \
            (nMode) = static_cast<mode_t>(va_arg(ap, int)); /* NOLINT(clang-analyzer-valist.Uninitialized) */ \
            va_end(ap);                                                                \
        }                                                                              \
    } while (0)

// ---- the calls of the code under test, renamed to these ----
extern "C" {

FILE *jail_fopen(const char *psPath, const char *psMode)
{
    const char *psReal = mapPath(psPath, 0);
    return psReal == nullptr ? nullptr : fopen(psReal, psMode);
}

FILE *jail_freopen(const char *psPath, const char *psMode, FILE *fp)
{
    if (psPath == nullptr) {
        errno = EACCES;
        return nullptr;
    }
    const char *psReal = mapPath(psPath, 0);
    return psReal == nullptr ? nullptr : freopen(psReal, psMode, fp);
}

static int openMapped(const char *psPath, int nFlags, mode_t nMode)
{
    const char *psReal = mapPath(psPath, 0);
    return psReal == nullptr ? -1 : open(psReal, nFlags, nMode);
}

int jail_open(const char *psPath, int nFlags, ...)
{
    mode_t nMode = 0;
    OPEN_MODE(nFlags, nMode);
    return openMapped(psPath, nFlags, nMode);
}

int jail_open_2(const char *psPath, int nFlags)
{
    return openMapped(psPath, nFlags, 0);
}

int jail_openat(int nDir, const char *psPath, int nFlags, ...)
{
    mode_t nMode = 0;
    OPEN_MODE(nFlags, nMode);
    // Relative to a descriptor would escape the mapping: only plain paths.
    if (nDir != AT_FDCWD && psPath != nullptr && psPath[0] != '/') {
        errno = EACCES;
        return -1;
    }
    return openMapped(psPath, nFlags, nMode);
}

int jail_creat(const char *psPath, mode_t nMode)
{
    return openMapped(psPath, O_CREAT | O_WRONLY | O_TRUNC, nMode);
}

// A stream over a copy of the listing the harness chose; no command runs.
FILE *jail_popen(const char *psCommand, const char *psMode)
{
    (void)psMode;
    snprintf(pLastSystem, sizeof pLastSystem, "%s", psCommand == nullptr ? "" : psCommand);
    FILE *fp = tmpfile();
    if (fp == nullptr)
        return nullptr;
    if (nPipe > 0)
        fwrite(pPipe, 1, nPipe, fp);
    rewind(fp);
    return fp;
}

int jail_pclose(FILE *fp)
{
    return fclose(fp) == 0 ? 0 : -1;
}

int jail_system(const char *psCommand)
{
    nSystemCount++;
    snprintf(pLastSystem, sizeof pLastSystem, "%s", psCommand == nullptr ? "" : psCommand);
    return 0;
}

int jail_ioctl(int nFd, unsigned long ulRequest, ...)
{
    va_list ap;
    va_start(ap, ulRequest);
    void *pArg = va_arg(ap, void *);
    va_end(ap);
    (void)nFd;
    if (ulRequest == HDIO_GETGEO && bGeoOk && pArg != nullptr) {
        memcpy(pArg, &geoJail, sizeof geoJail);
        return 0;
    }
    errno = ENOTTY;
    return -1;
}

int jail_unlink(const char *psPath)
{
    const char *psReal = mapPath(psPath, 0);
    return psReal == nullptr ? -1 : unlink(psReal);
}

int jail_remove(const char *psPath)
{
    const char *psReal = mapPath(psPath, 0);
    return psReal == nullptr ? -1 : remove(psReal);
}

int jail_rename(const char *psFrom, const char *psTo)
{
    const char *psRealFrom = mapPath(psFrom, 0);
    const char *psRealTo = mapPath(psTo, 1);
    return psRealFrom == nullptr || psRealTo == nullptr ? -1 : rename(psRealFrom, psRealTo);
}

int jail_truncate(const char *psPath, off_t nLength)
{
    const char *psReal = mapPath(psPath, 0);
    return psReal == nullptr ? -1 : truncate(psReal, nLength);
}

int jail_mkdir(const char *psPath, mode_t nMode)
{
    const char *psReal = mapPath(psPath, 0);
    return psReal == nullptr ? -1 : mkdir(psReal, nMode);
}

// The 64-bit names of the same calls.
FILE *jail_fopen64(const char *psPath, const char *psMode)
{
    return jail_fopen(psPath, psMode);
}

int jail_open64(const char *psPath, int nFlags, ...)
{
    mode_t nMode = 0;
    OPEN_MODE(nFlags, nMode);
    return openMapped(psPath, nFlags, nMode);
}

int jail_open64_2(const char *psPath, int nFlags)
{
    return openMapped(psPath, nFlags, 0);
}

int jail_openat64(int nDir, const char *psPath, int nFlags, ...)
{
    mode_t nMode = 0;
    OPEN_MODE(nFlags, nMode);
    return jail_openat(nDir, psPath, nFlags, nMode);
}

int jail_creat64(const char *psPath, mode_t nMode)
{
    return jail_creat(psPath, nMode);
}

// The code under test waits for nothing here.
unsigned int jail_sleep(unsigned int nSeconds)
{
    (void)nSeconds;
    return 0;
}

[[noreturn]] void jail_exit(int nStatus)
{
    if (pExitTarget == nullptr) {
        dprintf(2, "jail: exit(%d) outside jailCatchExit\n", nStatus);
        abort();
    }
    nExitStatus = nStatus & 0xff;
    longjmp(*pExitTarget, 1);  // NOLINT(cert-err52-cpp): see jailCatchExit
}

}  // extern "C"
