// dosprep: drive inspection. The boot disk geometry through the kernel's
// HDIO_GETGEO request on /dev/sssd, the read-write descriptor kept for the
// partition table, and the boot controller type from the ssprimary line.
#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "dosprep.h"
#include "primaryController.h"

static_assert(sizeof(struct hd_geometry) == 16, "hd_geometry is 16 bytes on x86-64");

// Fills the caller's block with the boot disk's hd_geometry record (heads at
// byte 0, sectors per track at byte 1) and returns the sectors per track. On
// an ATA controller the heads are taken as 255 whatever the disk says. The
// block must hold at least sizeof(hd_geometry) bytes.
unsigned char getBootDriveSectorsPerTrack(char *pWriteBlock6, int nDebugLevel)
{
    const int fdSectors = open(kBootDisk, O_RDONLY);
    if (fdSectors == -1) {
        fputs("Open of /dev/sssd failed \n", stdout);
    } else {
        memset(pWriteBlock6, 0, sizeof(struct hd_geometry));
        // A failed request (a node that is no disk) leaves the zeros.
        (void)ioctl(fdSectors, HDIO_GETGEO, pWriteBlock6);
        if (nIsATA > 0)
            pWriteBlock6[0] = static_cast<char>(255);
        uHeads = static_cast<unsigned char>(pWriteBlock6[0]);
        close(fdSectors);
    }
    if (nDebugLevel >= 3) {
        printf("--getBootDriveSectorsPerTrack- = %02x \n",
               static_cast<unsigned char>(pWriteBlock6[1]));
        printf("      Number of Heads = %u \n", uHeads & 0xffu);
    }
    return static_cast<unsigned char>(pWriteBlock6[1]);
}

// Opens /dev/sssd read-write into fd, which stays open for the rest of the run.
int open_crom()
{
    fd = open(kBootDisk, O_RDWR);
    return fd == -1 ? -1 : 0;
}

int getBootTypeOfLine(char *psLine)
{
    char *psEnd = strchr(psLine, '\n');
    if (psEnd != nullptr)
        *psEnd = '\0';
    // The word must be the whole line: no blank, no carriage return.
    if (strcmp(psLine, "KLARN") == 0)
        return kBootKlarn;
    if (strcmp(psLine, "TOVRIXAR") == 0)
        return kBootTovrixar;
    if (strcmp(psLine, "SCSI") == 0)
        return kBootScsi;
    if (strcmp(psLine, "ATA") == 0)
        return kBootAta;
    return kBootNone;
}

int getPrimaryBootType()
{
    int nBootType = kBootNone;
    char pCommandSet[16] = {};

    if (nDebugState >= 10 && nDebugState <= 15) {
        fputs("       getPrimaryBootType   -  fopen_/root/vantor/ssprimary_r_ -\n", stdout);
        fflush(stdout);
    }
    FILE *fpType = fopen("/root/vantor/ssprimary", "r");
    if (fpType != nullptr) {
        // Only the first line counts, and of it at most 13 characters.
        if (fgets(pCommandSet, 14, fpType) == nullptr)
            memset(pCommandSet, 0, sizeof pCommandSet);
        fclose(fpType);
    } else if (nDebugState >= 1) {
        fputs("       getPrimaryBootType Error: Unable to open ssprimary file. \n", stderr);
        fflush(stderr);
    }
    if (nDebugState >= 15) {
        fputs("       getPrimaryBootType \n", stdout);
        fflush(stdout);
    }
    nBootType = getBootTypeOfLine(pCommandSet);
    if (nBootType == kBootAta)
        nIsATA = 1;
    if (nDebugState >= 6 && nDebugState <= 16) {
        printf("       __String_%s__nBootType_%d__nIsATA_%d__\n", pCommandSet, nBootType, nIsATA);
        fflush(stdout);
    }
    return nBootType;
}
