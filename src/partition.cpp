// dosprep: the boot partition table. Sizes the first partition to whole
// cylinders from the description file, writes /root/vantor/dosboot.sfdisk
// and applies it with sfdisk.
#include <cstdio>

#include "dosprep.h"

int sfdisk(int cOSID, int nGeodisk)
{
    (void)cOSID;
    (void)nGeodisk;
    fputs("dosprep: the partition modes are not built yet\n", stderr);
    return 0;
}

int32_t CylinderBoundry(int nHeads, int nSectorsPerTrack, int nCylinders, int nPartitionMegaByteSize)
{
    (void)nHeads;
    (void)nSectorsPerTrack;
    (void)nCylinders;
    (void)nPartitionMegaByteSize;
    return 0;
}
