// dosprep fuzzing: the FAT32 boot area merge (--write32), whole, in the
// jail: the dump of the partition (new98boot.b, which the jailed dd does not
// make) and the template dos98boot.b are the fuzzer's. Held: the inputs are
// only read, the streams are all closed, the dump command is the one
// described, the merged file has the length its layout gives, and an input
// whose reads fail (a directory) gives no merge for the disk.
//
// Input: flags, sectors per track, level, disk image length (2 bytes), the
// disk image, then the template.
#include <cstdint>
#include <cstring>

#include "dosprep.h"
#include "jail.h"
#include "oracle.h"

namespace {
constexpr const char *kDisk = "/root/vantor/new98boot.b";
constexpr const char *kTemplate = "/root/vantor/dos98boot.b";
constexpr const char *kMerged = "/root/vantor/update98boot.b";
constexpr size_t kMax = 16384;
uint8_t pAfter[kMax];

// Main area (3072 bytes, 3071 when the template ends after byte 90 and
// before the area's end) and backup (up to 3 sectors of the template).
long expectedLength(size_t nTemplate)
{
    const long t = static_cast<long>(nTemplate);
    const long nMain = t >= 90 && t < 3072 ? 3071 : 3072;
    const long nBackup = t >= 1536 ? 1536 : (t >= 90 ? t : t + 1);
    return nMain + nBackup;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 5)
        return 0;
    const uint8_t ucFlags = pData[0];
    const bool bDisk = (ucFlags & 0x01) != 0;
    const bool bGeoOk = (ucFlags & 0x02) != 0;
    const bool bAta = (ucFlags & 0x04) != 0;
    const bool bTest = (ucFlags & 0x08) != 0;
    const bool bNoImage = (ucFlags & 0x10) != 0;
    const bool bNoTemplate = (ucFlags & 0x20) != 0;
    const bool bMergedBlocked = (ucFlags & 0x40) != 0;
    const bool bTemplateDir = (ucFlags & 0x80) != 0;  // reads fail
    const bool bImageDir = (pData[2] & 0x80) != 0;
    size_t nImage = static_cast<size_t>(pData[3] | (pData[4] << 8));
    if (nImage > nSize - 5)
        nImage = nSize - 5;
    const uint8_t *pImage = pData + 5;
    const uint8_t *pTemplate = pImage + nImage;
    const size_t nTemplate = nSize - 5 - nImage;

    jailReset();
    if (bImageDir)
        jailMkdir(kDisk);
    else if (!bNoImage)
        jailPut(kDisk, pImage, nImage);
    if (bTemplateDir)
        jailMkdir(kTemplate);
    else if (!bNoTemplate)
        jailPut(kTemplate, pTemplate, nTemplate);
    if (bMergedBlocked)
        jailMkdir(kMerged);
    else
        jailMkdir("/root/vantor");
    if (bDisk)
        jailPut("/dev/sssd", "", 0);
    jailSetGeometry(bGeoOk, 255, pData[1], 1000);
    nDebugState = (pData[2] & 0x7f) % 36;
    nIsATest = bTest ? 1 : 0;
    nIsATA = bAta ? 1 : 0;
    nFilesOpen = 0;

    char pWriteBlock[128];
    memset(pWriteBlock, 0x77, sizeof pWriteBlock);
    const int nResult = setUpdate98(6, pWriteBlock, nDebugState);

    FUZZ_CHECK(nFilesOpen == 0, "%d streams left counted open", nFilesOpen);
    FUZZ_CHECK(jailSystemCount() == 1 &&
                   strcmp(jailLastSystem(),
                          "/bin/dd if=/dev/sssd1 of=/root/vantor/new98boot.b bs=512 count=12") == 0,
               "%d commands, last '%s'", jailSystemCount(), jailLastSystem());
    const bool bOpens = !bNoImage && !bNoTemplate && !bMergedBlocked;
    // An input whose reads fail gives no merge for the disk.
    const bool bReads = !bImageDir && !bTemplateDir;
    FUZZ_CHECK(nResult == (bOpens && bReads ? 0 : -1), "result %d", nResult);
    if (!bReads)
        return 0;
    if (!bNoImage)
        FUZZ_CHECK(jailGet(kDisk, pAfter, kMax) == static_cast<long>(nImage) &&
                       memcmp(pAfter, pImage, nImage) == 0,
                   "the disk image changed");
    if (!bNoTemplate)
        FUZZ_CHECK(jailGet(kTemplate, pAfter, kMax) == static_cast<long>(nTemplate) &&
                       memcmp(pAfter, pTemplate, nTemplate) == 0,
                   "the template changed");
    if (bOpens) {
        const long nMerged = jailGet(kMerged, pAfter, kMax);
        FUZZ_CHECK(nMerged == expectedLength(nTemplate), "merged %ld bytes from a %zu-byte template",
                   nMerged, nTemplate);
        // A pass reaches position p of the disk bytes when the template
        // holds at least p bytes.
        if (nTemplate >= 29)
            FUZZ_CHECK(pAfter[25] == 0 && pAfter[27] == 0 && pAfter[29] == 0 && pAfter[26] == 255,
                       "geometry bytes %02x %02x %02x %02x", pAfter[25], pAfter[26], pAfter[27],
                       pAfter[29]);
        if (nTemplate >= 64)
            FUZZ_CHECK(pAfter[64] == 0x80, "drive number %02x", pAfter[64]);
    }
    return 0;
}
