// dosprep: the command front end. Walks the arguments left to right, runs the
// options that act at once, records the pending mode, asks for the boot
// controller type and dispatches the one selected mode.
#include <cstdio>
#include <cstring>

#include "disklayout.h"
#include "diskio.h"
#include "dosprep.h"
#include "hdwrite.h"
#include "primaryController.h"

void versionMessage()
{
    fputs("dosprep ver 0.5.11\n", stdout);
    fflush(stdout);
}

void syntaxMessage()
{
    static const char *const kHelp[] = {
        "         -v displays version of dosprep \n",
        "         --geodisk  corrects information in dosboot.b\n",
        "         --sfdisk16  creates a dospartition for fat16\n",
        "         --sfdisk32  creates a dospartition for fat32\n",
        "         --write16  Reads information from dosboot.b and writes to /dev/sssd1\n",
        "         --msdrivecount  Writes a drive number to the 2nd, 3rd, ... hard drive \n",
        "         --fixata  Corrects number of heads in fist sector of a Dos partition \n",
        "         --bytewrite {devnode} {0xoffset} {0xbyte} (--bytewrite /dev/zero 0xa0 0xff) \n",
        "         --debugx Reads information from dos98boot.b and writes to /dev/sssd1 DEBUG\n",
        "         --test  suspends actual write to the hard drive\n",
        "         --show  {filename}    Displays a file in hex view\n",
        "         --diff {filename}  {filename}   Binary compare of two files\n",
        "         --dos {tablefilename} {partfilename} {SIZEmb} check sectors per partions at threshold\n",
        "         --help Displays this information.\n",
    };
    for (const char *line : kHelp)
        fputs(line, stdout);
    fflush(stdout);
}

// A missing operand of --dos or --diff: standard error is flushed around the
// help text.
static int syntaxErrorFlushed()
{
    fputs("Syntax Error - Missing File Name\n", stderr);
    fflush(stderr);
    syntaxMessage();
    fputs("\n*** Syntax Error - Missing File Name ***\n", stderr);
    fflush(stderr);
    return -1;
}

// A missing operand of --show: the same, without the flushes and with one
// blank before the last line end.
static int syntaxErrorPlain()
{
    fputs("Syntax Error - Missing File Name\n", stderr);
    syntaxMessage();
    fputs("\n*** Syntax Error - Missing File Name *** \n", stderr);
    return -1;
}

// The FAT32 boot area write: merge, then 9 sectors to the first partition.
static void writeFat32(int nSectorOffset, char *pWriteBlock, size_t nBlockSize)
{
    if (nDebugState >= 6)
        printf("___setUpdate98(%d, %p, 0) \n", nSectorOffset, static_cast<void *>(pWriteBlock));
    if (setUpdate98(nSectorOffset, pWriteBlock, nDebugState) == 0) {
        snprintf(pWriteBlock, nBlockSize,
                 "/bin/dd if=/root/vantor/update98boot.b of=/dev/sssd1 bs=512 count=%d",
                 nSectorOffset + 3);
        runWriteCommand(pWriteBlock, "   system__%s\n");
    }
    if (nDebugState >= 14 && nDebugState <= 21) {
        showSomeFile("/root/vantor/new98boot.b", 0, 64);
        showSomeFile("/root/vantor/dos98boot.b", 0, 64);
        showSomeFile("/root/vantor/update98boot.b", 0, 64);
        showSomeFile("/root/vantor/update98boot.b", 3072, 64);
    }
}

int main(int argc, char *argv[])
{
    // Standard output is fully buffered on a terminal too, so that what a
    // terminal shows is what a pipe receives; every flush below is explicit.
    setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);

    int nIsSFDisk = 0;       // 8 geometry only, 16 FAT16, 32 FAT32
    int nIsWrite = 0;        // 16 FAT16, 32 FAT32
    int nMSDriveCount = 0;
    int nFixATA = 0;
    const int nSectorOffset = 6;  // sectors of the main FAT32 boot area
    char pWriteBlock[128] = {};

    if (argc >= 2 && argc <= 6) {
        for (int k = 1; k < argc; k++) {
            const char *psArg = argv[k];
            if (strncmp(psArg, "--debug", 7) == 0) {
                nDebugState = dpAtoI(psArg[7]);
                printf("###    Debug Mode %d  ###\n", nDebugState);
            }
            if (strcmp(psArg, "--geodisk") == 0) {
                nIsSFDisk = 8;
                nIsWrite = 0;
            }
            if (strcmp(psArg, "--sfdisk16") == 0) {
                nIsSFDisk = 16;
                nIsWrite = 0;
            }
            if (strcmp(psArg, "--sfdisk32") == 0) {
                nIsSFDisk = 32;
                nIsWrite = 0;
            }
            if (strcmp(psArg, "--msdrivecount") == 0) {
                nMSDriveCount = 1;
                nIsSFDisk = 0;
                nIsWrite = 0;
            }
            if (strcmp(psArg, "--fixata") == 0) {
                nFixATA = 1;
                nIsSFDisk = 0;
                nIsWrite = 0;
            }
            if (strcmp(psArg, "--bytewrite") == 0) {
                if (argc >= k + 4) {
                    writeByteToDevnode(argv[k + 1], argv[k + 2], argv[k + 3]);
                } else {
                    versionMessage();
                    syntaxMessage();
                }
                return 0;
            }
            if (strcmp(psArg, "--write16") == 0) {
                nIsWrite = 16;
                nIsSFDisk = 0;
            }
            if (strcmp(psArg, "--write32") == 0) {
                nIsWrite = 32;
                nIsSFDisk = 0;
            }
            if (strcmp(psArg, "--test") == 0)
                nIsATest++;
            if (strcmp(psArg, "--help") == 0) {
                versionMessage();
                syntaxMessage();
                return 0;
            }
            if (strcmp(psArg, "--version") == 0 || strcmp(psArg, "-v") == 0) {
                versionMessage();
                return 0;
            }
            if (strcmp(psArg, "--dos") == 0) {
                if (nDebugState >= 2 && nDebugState <= 5) {
                    printf("______DosPartCheck_%s__\n", psArg);
                    fflush(stdout);
                }
                if (argc >= k + 4) {
                    DosPartCheck(argv[k + 1], argv[k + 2], argv[k + 3]);
                    return 0;  // not reached: the check ends the process
                }
                return syntaxErrorFlushed();
            }
            if (strcmp(psArg, "--diff") == 0) {
                if (argc >= k + 3) {
                    compareFiles(argv[k + 1], argv[k + 2], pWriteBlock, 0);
                    return 0;
                }
                return syntaxErrorFlushed();
            }
            if (strcmp(psArg, "--show") == 0) {
                if (argc >= k + 2) {
                    showFile(argv[k + 1]);
                    return 0;
                }
                return syntaxErrorPlain();
            }
        }
    }

    if (getPrimaryBootType() == kBootAta)
        nIsATA = 1;
    if (nDebugState >= 14)
        printf("__nIsSFDisk_%d__nIsWrite_%d__nIsATest_%d__nIsATA_%d__\n", nIsSFDisk, nIsWrite,
               nIsATest, nIsATA);

    if (nIsWrite == 32) {
        writeFat32(nSectorOffset, pWriteBlock, sizeof pWriteBlock);
    } else if (nMSDriveCount == 1) {
        stampDriveNumber();
    } else if (nFixATA == 1) {
        // the low byte of the head count in the first partition's boot sector
        writeOneByteToPartition(kBootPartition, kOffsetHeads, 255);
        if (nIsATA == 1)
            writeOneByteToPartition(kBootPartition, kOffsetHeads, 255);
    } else if (nIsWrite == 16) {
        write16();
    } else if (nIsSFDisk == 32) {
        sfdisk('c', 0);
    } else if (nIsSFDisk == 16) {
        sfdisk('6', 0);
    } else if (nIsSFDisk == 8) {
        sfdisk('6', 1);
    }
    return 0;
}
