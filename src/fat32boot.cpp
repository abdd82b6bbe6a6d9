// dosprep: the FAT32 boot area. Dumps the first sectors of /dev/sssd1, merges
// them with the template dos98boot.b into update98boot.b; also the stream
// closing helpers and the open-stream count.
#include <cstdio>

#include "dosprep.h"

int setUpdate98(int nSectorOffset1, char *pWriteBlock3, int nDebugLevel)
{
    (void)nSectorOffset1;
    (void)pWriteBlock3;
    (void)nDebugLevel;
    fputs("dosprep: --write32 is not built yet\n", stderr);
    return -1;
}

void closeFile(FILE *fpHandle2)
{
    if (fpHandle2 != nullptr) {
        fclose(fpHandle2);
        nFilesOpen--;
    }
}

void close2Files(FILE *fpFirst, FILE *fpSecond)
{
    closeFile(fpFirst);
    closeFile(fpSecond);
}

void close3Files(FILE *fpFirst, FILE *fpSecond, FILE *fpThird)
{
    closeFile(fpFirst);
    closeFile(fpSecond);
    closeFile(fpThird);
}
