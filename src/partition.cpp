// dosprep: the boot partition table. Sizes the first partition to whole
// cylinders from the description file, writes /root/vantor/dosboot.sfdisk
// and applies it with sfdisk.
#include <linux/hdreg.h>
#include <sys/ioctl.h>

#include <cstdint>
#include <cstdio>

#include "dataFind.h"
#include "diskio.h"
#include "dosprep.h"
#include "toolpath.h"

// Size of the partition, in sectors, when the description gives none.
constexpr int32_t kDefaultBlocks = 4292902;
// Size of the partition when the geometry makes no sense: 100 MB.
constexpr int32_t kBadInputBlocks = 204800;

static const char kDashLine[] =
    " -----------------------------------------------------------\n";

// The partition size in 512-byte sectors: the megabytes rounded up to a
// whole cylinder. nHeads is the kernel's count, which is one short (255 for
// a disk of 256 heads). A geometry of under 2 heads, 16 sectors per track or
// 100 cylinders gives 100 MB instead; a size that does not fit a 32-bit
// sector count gives the default size, with a message.
int32_t CylinderBoundry(int nHeads, int nSectorsPerTrack, int nCylinders,
                        int nPartitionMegaByteSize)
{
    bool bInputOK = true;
    int32_t lBlocks = 0;

    nHeads++;
    if (nDebugState > 2) {
        printf("   CylinderBoundry(%d, %d, %d, %d) \n", nHeads, nSectorsPerTrack, nCylinders,
               nPartitionMegaByteSize);
        fflush(stdout);
    }
    if (nHeads < 2 || nSectorsPerTrack < 16 || nCylinders < 100) {
        bInputOK = false;
        lBlocks = kBadInputBlocks;
        if (nDebugState > 3) {
            printf("   Error: Bad Input values: C=%d H=%d  SPT=%d \n", nCylinders, nHeads,
                   nSectorsPerTrack);
            printf("                      Adjust LBA:  %ld \n", static_cast<long>(lBlocks));
            fflush(stdout);
        }
    }
    if (bInputOK) {
        // 64-bit here so that a size past the 32-bit range is seen, not wrapped.
        const int64_t lTempCylinder = static_cast<int64_t>(nSectorsPerTrack) * nHeads;
        int64_t lWide = static_cast<int64_t>(nPartitionMegaByteSize) * 2048;
        if (lWide % lTempCylinder > 0)
            lWide = (lWide / lTempCylinder + 1) * lTempCylinder;
        if (lWide < 1 || lWide > INT32_MAX) {
            fprintf(stderr,
                    "Error: dosprep partition size %d MB gives no valid sector count, "
                    "using %ld sectors\n",
                    nPartitionMegaByteSize, static_cast<long>(kDefaultBlocks));
            fflush(stderr);
            lWide = kDefaultBlocks;
        }
        lBlocks = static_cast<int32_t>(lWide);
    }
    return lBlocks;
}

// The six lines of the table: the first partition starts on the second track.
static void writeTable(FILE *fpMain, int nSectorsPerTrack, int32_t lNumberOfBlocks, char cOSID)
{
    fputs("# partition table of /dev/sssd\n", fpMain);
    fputs("unit: sectors\n\n", fpMain);
    fprintf(fpMain, "/dev/sssd1 : start=       %d, size= %ld, Id= %c, bootable\n",
            nSectorsPerTrack, static_cast<long>(lNumberOfBlocks), cOSID);
    fputs("/dev/sssd2 : start=        0, size=       0, Id= 0\n", fpMain);
    fputs("/dev/sssd3 : start=        0, size=       0, Id= 0\n", fpMain);
    fputs("/dev/sssd4 : start=        0, size=       0, Id= 0\n\n", fpMain);
}

int sfdisk(int cOSID, int nGeodisk)
{
    const char pSizeIn[32] = "/root/vantor/bootpartition.xml";
    const char pOutput[32] = "/root/vantor/dosboot.sfdisk";
    char ptrValue[128] = {};
    char tempLine[LINE_LENGTH + 1] = {};
    char tempLine2[LINE_LENGTH - 1] = {};
    char pID[LINE_LNGTH2 + 1] = {};
    int nSectorsPerTrack = 32;
    int32_t lNumberOfBlocks = kDefaultBlocks;
    struct hd_geometry hdparams = {};
    const char cID = static_cast<char>(cOSID);

    // Geometry. The descriptor stays open for the rest of the run.
    if (fd == -1 && open_crom() == -1) {
        fputs("Open of /dev/sssd failed \n", stdout);
    } else {
        // A failed request leaves the record all zero.
        (void)ioctl(fd, HDIO_GETGEO, &hdparams);
        if (nIsATA > 0)
            hdparams.heads = 255;
        if (nDebugState > 2) {
            fputs(kDashLine, stdout);
            printf("   Heads_%d_ Sectors_%d_ Cylinders_%d_ Start_%ld_\n", hdparams.heads,
                   hdparams.sectors, hdparams.cylinders,
                   static_cast<long>(static_cast<int32_t>(hdparams.start)));
            fputs(kDashLine, stdout);
            fflush(stdout);
        }
        nSectorsPerTrack = hdparams.sectors;
    }

    // The key is the start of the size tag, "<megab".
    snprintf(pID, sizeof pID, "%s", "<megabytesize>");
    pID[6] = '\0';

    DataFind2(pSizeIn, pID, tempLine);
    if (getTagValue(tempLine, tempLine2)) {
        const int nPartitionSizeMB = getDecimalValue(tempLine2);
        lNumberOfBlocks = CylinderBoundry(hdparams.heads, nSectorsPerTrack, hdparams.cylinders,
                                          nPartitionSizeMB);
    } else {
        fputs("Error: dosprep could not find data in file /root/vantor/bootpartition.xml \n",
              stdout);
        fflush(stdout);
    }
    closeDataFind();

    bool bTableWhole = true;  // false when the table file was begun but not finished
    FILE *fpMain = fopen(pOutput, "w");
    if (fpMain == nullptr) {
        fputs("Error: dosprep could not open the output file /root/vantor/dosboot.sfdisk\n",
              stderr);
        fflush(stderr);
    } else {
        writeTable(fpMain, nSectorsPerTrack, lNumberOfBlocks, cID);
        const bool bWritten = fflush(fpMain) == 0 && ferror(fpMain) == 0;
        if (fclose(fpMain) != 0 || !bWritten) {
            // A full disk: an unfinished table must not reach the disk.
            bTableWhole = false;
            fputs("Error: dosprep could not write the output file /root/vantor/dosboot.sfdisk"
                  ", the table is not applied\n",
                  stderr);
            fflush(stderr);
        } else {
            if (nDebugState >= 1) {
                fputs("     # partition table of /dev/sssd\n", stdout);
                printf("     /dev/sssd1 : start=       %d, size= %ld, Id= %c, bootable\n",
                       nSectorsPerTrack, static_cast<long>(lNumberOfBlocks), cID);
                fflush(stdout);
            }
            if (nDebugState >= 5 && nDebugState <= 15) {
                fputs("     /dev/sssd2 : start=        0, size=       0, Id= 0\n", stdout);
                fputs("     /dev/sssd3 : start=        0, size=       0, Id= 0\n", stdout);
                fputs("     /dev/sssd4 : start=        0, size=       0, Id= 0\n\n", stdout);
                fflush(stdout);
            }
        }
    }

    snprintf(ptrValue, sizeof ptrValue,
             "sfdisk --force -S %d /dev/sssd %c /root/vantor/dosboot.sfdisk%c", nSectorsPerTrack,
             '<', newline);
    if (nGeodisk == 0 && bTableWhole) {
        useSfdiskFrontEnd();  // PATH only matters to the command that runs
        runWriteCommand(ptrValue, "   system__%s \n");
    }

    if (nSectorsPerTrack >= 16 && nSectorsPerTrack <= 128)
        putDosSectorValues(nSectorsPerTrack);
    fflush(stdout);
    return 0;
}
