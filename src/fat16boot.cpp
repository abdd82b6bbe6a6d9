// dosprep: the FAT16 boot sector. Patches the boot disk geometry into
// /root/vantor/dosboot.b and copies its first sector to /dev/sssd1.
#include <cstdio>

#include "dosprep.h"

void write16()
{
    fputs("dosprep: --write16 is not built yet\n", stderr);
}

void putDosSectorValues(int nSectorsPerTrack)
{
    (void)nSectorsPerTrack;
}
