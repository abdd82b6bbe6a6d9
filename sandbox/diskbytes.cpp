// diskbytes: the sandbox's reader of disk images, for its report and the
// tests. This file owns the command line: the command table, usage and main;
// the commands are in diskfields.cpp, readmap.cpp, names83.cpp and writelog.cpp.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diskbytes.h"

struct Command {
    const char *pName;
    const char *pArgs;
    const char *pHelp;
    int nMin, nMax;  // arguments after the command's name; -1: no limit
    int (*pRun)(char **ppArgs, int nArgs);
};

static const Command g_pCommands[] = {
    {"boot", "FILE [SECTOR]", "the boot sector at SECTOR (default 0): its fields, then fat_type", 1, 2, runBoot},
    {"mbr", "FILE", "sector 0 as a master boot record", 1, 1, runMbr},
    {"field", "FILE NAME [SECTOR]", "the value of one field, or fat_type", 2, 3, runField},
    {"names", "[NAME...]", "where the fields lie: NAME FIRST-LAST", 0, -1, runNames},
    {"program", "FILE", "static or dynamic: whether a 64-bit ELF program names a loader", 1, 1, runProgram},
    {"reads", "IMAGE TRACE", "what each read of a boot's block trace lands on, then a summary", 2, 2, runReads},
    {"names83", "FILE [SECTOR]", "the 8.3 file names that the boot code at SECTOR carries", 1, 2, runNames83},
    {"writelog", "LOG", "a blklogwrites log's entries: N write|flush|discard|mark SECTOR COUNT", 1, 1, runWriteLog},
    {"replay", "LOG IMAGE FIRST LAST [SECTORS]", "write entries FIRST to LAST of LOG into IMAGE (of LAST, SECTORS)", 4, 5,
     runReplay},
};

static int usage(FILE *pOut)
{
    char pLine[64];

    for (const Command &tCommand : g_pCommands) {
        snprintf(pLine, sizeof pLine, "%s %s", tCommand.pName, tCommand.pArgs);
        fprintf(pOut, "%s diskbytes %-24s %s\n", &tCommand == g_pCommands ? "usage:" : "      ", pLine,
                tCommand.pHelp);
    }
    fputs("Lines are NAME FIRST-LAST VALUE, FIRST and LAST the field's bytes in its sector.\n"
          "Numbers are little-endian, printed in decimal; drive numbers, a partition's\n"
          "status and type, the drive stamp and the signature are printed as their bytes\n"
          "in hex (\"55 aa\"), the disk identifier as 0x and eight hex digits. fat_type is\n"
          "FAT32 when the 16-bit FAT size is 0 and the 32-bit one is not or the sector\n"
          "ends in 55 aa, FAT16 otherwise. field reads the field's bytes alone.\n"
          "\n"
          "reads takes the lines of TRACE (\"-\": standard input) that hold \"offset BYTE\n"
          "bytes COUNT\" (QEMU's blk_co_preadv trace), in order, and prints for each run\n"
          "of reads of one thing a line SECTOR WHAT[, N reads][, S sectors]: SECTOR the\n"
          "disk sector of the run's first read, S the sectors the reads cover when a read\n"
          "spans more than one. WHAT is what a read's first sector holds: MBR; boot\n"
          "sector of partition 1; boot area sector N, backup boot sector, FSInfo sector;\n"
          "FAT K sector N; root directory; directory PATH; PATH cluster N (a file's,\n"
          "PATH its 8.3 names from the root, DIR/FILE.EXT); free space in partition 1;\n"
          "partition 1 past its file system; partition N sector M (other partitions, and\n"
          "partition 1 when its boot sector has no 55 aa, not 512 bytes per sector or no\n"
          "data area); outside every partition. Consecutive sectors, FAT sectors or\n"
          "clusters of one thing fold: \"FAT 1 sectors 0-2\", \"F.SYS clusters 3-9\".\n"
          "Directories are walked 4 levels below the root, chains followed through FAT 1\n"
          "to their end, a loop or a cluster another chain holds; past the image's end\n"
          "its sectors read as zeros. \"... \" lines tell what a bound left out (100000\n"
          "reads, 2000 lines, the walk's). Then the summary:\n"
          "  = file_system FAT16|FAT32|none   partition 1's\n"
          "  = root_directory SECTOR|none     its first disk sector, from partition 1's\n"
          "                                   start and its parameter block\n"
          "  = boot_sector_read yes|no        partition 1's boot sector was read\n"
          "  = root_read yes|no\n"
          "  = files [PATH...]                files read, in the order of their first read\n"
          "  = stray SECTOR WHAT|none         the first read after partition 1's boot sector\n"
          "                                   that lands where its boot code has nothing to\n"
          "                                   look for: not the boot area, the root\n"
          "                                   directory, a FAT sector that holds entries of\n"
          "                                   a chain, nor a file or directory entered at\n"
          "                                   its first sector or already entered\n"
          "  = reads N                        the reads mapped\n"
          "names83 prints, one a line as NAME.EXT, the 11-byte runs of a boot sector's code\n"
          "(62-509, FAT32 90-509; the whole of a file shorter than a sector) that look like\n"
          "a short name: a letter, name characters, spaces to 8 bytes, then 1-3 letters\n"
          "or digits and spaces; after a byte that is no letter or digit.\n"
          "Status 1: a file cannot be read, or ends before what is read; 2: usage.\n",
          pOut);
    return pOut == stdout ? 0 : 2;
}

int main(int argc, char **argv)
{
    int nStatus = 2;

    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0))
        return usage(stdout);
    for (const Command &tCommand : g_pCommands) {
        if (argc < 2 || strcmp(argv[1], tCommand.pName) != 0)
            continue;
        if (argc - 2 < tCommand.nMin || (tCommand.nMax >= 0 && argc - 2 > tCommand.nMax))
            return usage(stderr);
        nStatus = tCommand.pRun(argv + 2, argc - 2);
        if (fflush(stdout) != 0 || ferror(stdout)) {
            fprintf(stderr, "diskbytes: cannot write the output: %s\n", strerror(errno));
            return 1;
        }
        return nStatus;
    }
    if (argc >= 2)
        fprintf(stderr, "diskbytes: unknown command '%s'\n", argv[1]);
    return usage(stderr);
}
