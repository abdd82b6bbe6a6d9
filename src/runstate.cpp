// dosprep: the run-wide state with its initial values, and dpAtoI, the
// character-to-digit rule shared by --debugX and the --bytewrite operands.
#include "dosprep.h"

int nDebugState = 0;
int nIsATest = 0;
int nIsATA = 0;
unsigned int uHeads = 255;
unsigned char ucSectorsPerTrack = 32;
unsigned char ucFlagHeads = 255;
int nFilesOpen = 0;
int fd = -1;

// '0'-'9' give 0-9, letters of either case 10-35, anything else 0. The
// character is the low byte of cText taken as signed, so 0x80-0xff give 0.
int dpAtoI(int cText)
{
    const int c = static_cast<signed char>(cText & 0xff);
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    return 0;
}
