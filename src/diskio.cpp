// dosprep: test mode and the writes that reach a disk. Every shell command
// and every write to a device node goes through here, so that what --test
// suppresses, and what it prints instead, is decided in this one place.
#include <sys/types.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "diskio.h"
#include "dosprep.h"

bool isTestMode()
{
    return nIsATest > 0;
}

// The traces of test mode go to standard output unflushed, so that they
// leave with the rest of the run's buffered output.
void runWriteCommand(const char *pCommand, const char *pTestTrace)
{
    if (isTestMode()) {
        printf(pTestTrace, pCommand);
        return;
    }
    const int nRC = system(pCommand);
    (void)nRC;  // a failed command shows up in what it leaves on the disk
}

void runReadCommand(const char *pCommand, const char *pTestTrace)
{
    if (isTestMode())
        printf(pTestTrace, pCommand);
    const int nRC = system(pCommand);
    (void)nRC;  // a failed read shows up as a missing or short file
}

FILE *openCommandOutput(const char *pCommand)
{
    return popen(pCommand, "r");
}

void closeCommandOutput(FILE *fpCommand)
{
    pclose(fpCommand);
}

void writeNodeByte(FILE *fpNode, uint32_t lOffset, unsigned char ucByteValue)
{
    const int nConverter = ucByteValue;
    if (isTestMode()) {
        printf("TESTMODE: \n     fseek( %p, %08" PRIx32 ", %d) \n", static_cast<void *>(fpNode),
               lOffset, 0);
        printf("     fputc( %02x, %p) \n", nConverter, static_cast<void *>(fpNode));
    } else if (fseeko(fpNode, static_cast<off_t>(lOffset), SEEK_SET) == 0) {
        // The offset is unsigned, so the byte lands where the user asked up
        // to 4 GiB - 1.
        fputc(nConverter, fpNode);
        fflush(fpNode);
    }
}

void writeNodeStart(FILE *fpNode, const unsigned char *pBytes, int nLength)
{
    if (isTestMode())
        return;
    rewind(fpNode);
    for (int m = 0; m < nLength; m++)
        fputc(pBytes[m], fpNode);
}
