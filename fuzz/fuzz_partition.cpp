// dosprep fuzzing: the partition modes (--sfdisk16, --sfdisk32, --geodisk)
// and --write16, whole, in the jail, on a geometry, description file and
// boot sector image of the fuzzer's making. Held: the boot sector image
// keeps its length and changes only in its geometry bytes, the description
// file is only read, the table file is the six lines with a size that is a
// whole number of cylinders (or one of the two fallbacks), and a command
// runs only outside test mode, exactly as formed.
//
// Input: flags, heads, sectors, cylinders (2 bytes), level, description
// length (2 bytes), the description, then the image.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dosprep.h"
#include "jail.h"
#include "oracle.h"

namespace {
constexpr const char *kXml = "/root/vantor/bootpartition.xml";
constexpr const char *kImage = "/root/vantor/dosboot.b";
constexpr const char *kTable = "/root/vantor/dosboot.sfdisk";
constexpr size_t kMax = 16384;
uint8_t pBefore[kMax];
uint8_t pAfter[kMax];
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 8)
        return 0;
    const uint8_t ucFlags = pData[0];
    const bool bGeoOk = (ucFlags & 0x01) != 0;
    const bool bDisk = (ucFlags & 0x02) != 0;
    const bool bAta = (ucFlags & 0x04) != 0;
    const bool bTest = (ucFlags & 0x08) != 0;
    const bool bGeodisk = (ucFlags & 0x10) != 0;
    const bool bFat32 = (ucFlags & 0x20) != 0;
    const bool bTableBlocked = (ucFlags & 0x40) != 0;
    const bool bWrite16 = (ucFlags & 0x80) != 0;
    const unsigned char ucHeads = pData[1];
    const unsigned char ucSectors = pData[2];
    const unsigned short usCylinders = static_cast<unsigned short>(pData[3] | (pData[4] << 8));
    const bool bImage = (pData[5] & 0x80) == 0;
    const int nLevel = (pData[5] & 0x7f) % 36;
    size_t nXml = static_cast<size_t>(pData[6] | (pData[7] << 8));
    if (nXml > nSize - 8)
        nXml = nSize - 8;
    const uint8_t *pXml = pData + 8;
    const uint8_t *pImage = pXml + nXml;
    const size_t nImage = nSize - 8 - nXml;

    jailReset();
    jailPut(kXml, pXml, nXml);
    if (bImage)
        jailPut(kImage, pImage, nImage);
    if (bTableBlocked)
        jailMkdir(kTable);
    if (bDisk)
        jailPut("/dev/sssd", "", 0);
    jailSetGeometry(bGeoOk, ucHeads, ucSectors, usCylinders);

    nDebugState = nLevel;
    nIsATest = bTest ? 1 : 0;
    nIsATA = bAta ? 1 : 0;
    uHeads = 255;
    fd = -1;
    int nSpt = 0;  // the sectors per track the mode works with
    if (bWrite16) {
        write16();
        nSpt = bDisk && bGeoOk ? ucSectors : 0;
    } else {
        sfdisk(bFat32 ? 'c' : '6', bGeodisk ? 1 : 0);
        nSpt = !bDisk ? 32 : (bGeoOk ? ucSectors : 0);
    }
    if (fd != -1)
        close(fd);
    fd = -1;

    // The image: the same length; only its geometry bytes may change.
    const long nNow = jailGet(kImage, pAfter, kMax);
    if (!bImage) {
        FUZZ_CHECK(nNow == -1, "a missing image was created");
    } else {
        FUZZ_CHECK(nNow == static_cast<long>(nImage), "image of %zu bytes now %ld", nImage, nNow);
        const bool bPatch = bWrite16 || (nSpt >= 16 && nSpt <= 128);
        const int nHeads = bWrite16 ? (!bDisk ? 255 : (bAta ? 255 : (bGeoOk ? ucHeads : 0))) : -1;
        for (size_t i = 0; i < nImage; i++) {
            int nWant = pImage[i];
            if (bPatch && (i == 24 || i == 28))
                nWant = nSpt & 0xff;
            if (bWrite16 && i == 26)
                nWant = nHeads & 0xff;
            FUZZ_CHECK(pAfter[i] == nWant, "image byte %zu is %02x, expected %02x", i, pAfter[i],
                       nWant);
        }
    }
    FUZZ_CHECK(jailGet(kXml, pAfter, kMax) == static_cast<long>(nXml) &&
                   memcmp(pAfter, pXml, nXml) == 0,
               "the description file changed");

    FUZZ_CHECK(jailSystemCount() <= 1, "%d commands", jailSystemCount());
    if (bTest || (!bWrite16 && bGeodisk))
        FUZZ_CHECK(jailSystemCount() == 0, "a command ran: %s", jailLastSystem());
    char pWant[128];
    if (bWrite16) {
        snprintf(pWant, sizeof pWant, "/bin/dd if=/root/vantor/dosboot.b of=/dev/sssd1 bs=512 count=1");
    } else {
        snprintf(pWant, sizeof pWant, "sfdisk --force -S %d /dev/sssd < /root/vantor/dosboot.sfdisk\n",
                 nSpt);
    }
    if (jailSystemCount() == 1)
        FUZZ_CHECK(strcmp(jailLastSystem(), pWant) == 0, "command '%s'", jailLastSystem());

    if (bWrite16 || bTableBlocked)
        return 0;
    // The table: six lines; the size a whole number of cylinders unless it
    // is one of the fallbacks.
    const long nTable = jailGet(kTable, pAfter, kMax - 1);
    FUZZ_CHECK(nTable > 0, "no table file");
    pAfter[nTable] = '\0';
    const char *psSize = strstr(reinterpret_cast<char *>(pAfter), ", size= ");
    FUZZ_CHECK(psSize != nullptr, "table file: %s", pAfter);
    const long lSize = strtol(psSize + 8, nullptr, 10);
    char pTable[512];
    snprintf(pTable, sizeof pTable,
             "# partition table of /dev/sssd\nunit: sectors\n\n"
             "/dev/sssd1 : start=       %d, size= %ld, Id= %c, bootable\n"
             "/dev/sssd2 : start=        0, size=       0, Id= 0\n"
             "/dev/sssd3 : start=        0, size=       0, Id= 0\n"
             "/dev/sssd4 : start=        0, size=       0, Id= 0\n\n",
             nSpt, lSize, bFat32 ? 'c' : '6');
    FUZZ_CHECK(strcmp(reinterpret_cast<char *>(pAfter), pTable) == 0, "table file:\n%s", pAfter);
    const long lCylinder = static_cast<long>(nSpt) * ((bAta ? 255 : (bDisk && bGeoOk ? ucHeads : 0)) + 1);
    FUZZ_CHECK(lSize > 0 && lSize <= INT32_MAX, "size %ld", lSize);
    FUZZ_CHECK(lSize == 4292902 || lSize == 204800 || (lCylinder > 0 && lSize % lCylinder == 0),
               "size %ld is no whole number of %ld-sector cylinders", lSize, lCylinder);
    return 0;
}
