// dosprep: the sfdisk front end that ships with the tool. It lives in
// lib/dosprep/bin beside the binary's directory (build/dosprep and
// build/lib/dosprep/bin; PREFIX/sbin/dosprep and PREFIX/lib/dosprep/bin).
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "toolpath.h"

// What /bin/sh searches when PATH is not set at all.
static const char kDefaultPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
static const char *const kFrontEndDirs[] = {"/lib/dosprep/bin", "/../lib/dosprep/bin"};

void useSfdiskFrontEnd()
{
    char pExe[PATH_MAX] = {};
    const ssize_t nLength = readlink("/proc/self/exe", pExe, sizeof pExe - 1);
    if (nLength <= 0)
        return;
    char *pSlash = strrchr(pExe, '/');
    if (pSlash == nullptr)
        return;
    *pSlash = '\0';

    for (const char *pDir : kFrontEndDirs) {
        char pFrontEnd[PATH_MAX];
        const int nName = snprintf(pFrontEnd, sizeof pFrontEnd, "%s%s/sfdisk", pExe, pDir);
        if (nName < 0 || static_cast<size_t>(nName) >= sizeof pFrontEnd ||
            access(pFrontEnd, X_OK) != 0)
            continue;
        *strrchr(pFrontEnd, '/') = '\0';  // the directory of the front end

        const char *pPath = getenv("PATH");
        if (pPath == nullptr)
            pPath = kDefaultPath;
        // A PATH too long to extend stays as it is: nothing of it is cut.
        char pNewPath[4 * PATH_MAX];
        const int nNew = snprintf(pNewPath, sizeof pNewPath, "%s:%s", pFrontEnd, pPath);
        if (nNew > 0 && static_cast<size_t>(nNew) < sizeof pNewPath)
            setenv("PATH", pNewPath, 1);
        return;
    }
}
