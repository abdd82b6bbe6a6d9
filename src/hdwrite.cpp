// dosprep: raw device writes. Single bytes written in place to device nodes
// (--bytewrite, --fixata), and BIOS drive numbers stamped into the first
// sector of the disks after the boot disk (--msdrivecount).
#include <cstdio>

#include "dosprep.h"
#include "hdwrite.h"

int writeByteToDevnode(const char *pDevNode9, const char *pOffset9, const char *pByteValue9)
{
    (void)pDevNode9;
    (void)pOffset9;
    (void)pByteValue9;
    fputs("dosprep: --bytewrite is not built yet\n", stderr);
    return -1;
}

void writeOneByteToPartition(const char *psNode8, uint32_t lOffset8, int ucByteValue8)
{
    (void)psNode8;
    (void)lOffset8;
    (void)ucByteValue8;
    fputs("dosprep: byte writes are not built yet\n", stderr);
}

void stampDriveNumber()
{
    fputs("dosprep: --msdrivecount is not built yet\n", stderr);
}
