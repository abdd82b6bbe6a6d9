// dosprep: the partition threshold check (--dos). Compares two sector counts
// against each other and a threshold; the answer is the process exit status.
#include <cstdio>
#include <cstdlib>

#include "dosprep.h"

int DosPartCheck(const char *tPartSize, const char *dPartSize, const char *threshold)
{
    (void)tPartSize;
    (void)dPartSize;
    (void)threshold;
    fputs("dosprep: --dos is not built yet\n", stderr);
    exit(-1);
}
