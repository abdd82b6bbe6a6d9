// dosprep: raw device writes. Single bytes written in place to device nodes
// (--bytewrite, --fixata), and BIOS drive numbers stamped into the first
// sector of the disks after the boot disk (--msdrivecount).
#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "disklayout.h"
#include "diskio.h"
#include "dosprep.h"
#include "hdwrite.h"
#include "primaryController.h"

// ---- byte writes ----

constexpr int kOffsetDigitEnd = 10;  // "0x" plus at most eight offset digits
constexpr int kByteDigitEnd = 4;     // "0x" plus at most two byte digits

// ---- drive number stamp ----

// The four bytes at kOffsetDriveStamp: 0x80 plus the place after the boot
// disk, then 0x29 0x04 0x04.
constexpr unsigned char kStampSignatureValue = 0x29;
constexpr unsigned char kStampFlagValue = 0x04;
constexpr int kListingLineLimit = 254;  // the one line read from "ls -al /dev/sssd"
constexpr int kBootNodeLimit = 60;      // a link target must be shorter than this
constexpr int kSdNodeLimit = 12;        // sd disks: places 1 to 11
constexpr int kOtherNodeLimit = 3;      // every other form: places 1 and 2

constexpr int kStampBufferSize = 544;   // the listing line, then each sector
static_assert(kSectorSize <= kStampBufferSize, "the stamp buffer holds a sector");
static_assert(kListingLineLimit + 1 <= kStampBufferSize, "the listing line fits the buffer");

static bool levelIn(int nLow, int nHigh)  // nLow <= level <= nHigh
{
    return nDebugState >= nLow && nDebugState <= nHigh;
}

// A word character as the signed 8-bit value the tests compare against, so
// that bytes 0x80 to 0xff count as negative.
static int signedChar(char c)
{
    return static_cast<signed char>(c);
}

int getByteWriteValues(const char *pDevNode9, const char *pOffset9, const char *pByteValue9,
                       char *pNodeName9, uint32_t *plOffset9, unsigned char *pucByteValue9)
{
    uint32_t lOffset9 = 0;  // 32-bit arithmetic that wraps
    unsigned char ucByteValue9 = 0;
    int i = 0;

    // Only the second character of the numbers is looked at: "0x", "1x" and
    // "xx" all pass, "0X" does not. The first character is tested for its
    // end so that a word of one character is never read past.
    const bool bNodeOK = pDevNode9[0] == '/';
    const bool bOffsetOK = pOffset9[0] != '\0' && pOffset9[1] == 'x';
    const bool bByteOK = pByteValue9[0] != '\0' && pByteValue9[1] == 'x';
    if (!bNodeOK || !bOffsetOK || !bByteOK)
        return -1;

    // The copy stops at the end of the word, at a control character and at
    // any byte of 0x80 or more.
    for (i = 0; i < kNodeNameChars && signedChar(pDevNode9[i]) >= ' '; i++)
        pNodeName9[i] = pDevNode9[i];
    pNodeName9[i] = '\0';
    pNodeName9[i + 1] = '\0';

    // Digits are read until the first character below '0'; anything from
    // '0' up counts with its dpAtoI value, so 'g' adds 16 and ':' adds 0.
    for (i = 2; i < kOffsetDigitEnd && signedChar(pOffset9[i]) >= '0'; i++) {
        const uint32_t lTemp9 = static_cast<uint32_t>(dpAtoI(pOffset9[i]));
        lOffset9 = (lOffset9 << 4) + lTemp9;
    }
    for (i = 2; i < kByteDigitEnd && signedChar(pByteValue9[i]) >= '0'; i++) {
        const unsigned char ucTemp9 = static_cast<unsigned char>(dpAtoI(pByteValue9[i]));
        ucByteValue9 = static_cast<unsigned char>((ucByteValue9 << 4) + ucTemp9);
    }
    *plOffset9 = lOffset9;
    *pucByteValue9 = ucByteValue9;
    return 0;
}

int writeByteToDevnode(const char *pDevNode9, const char *pOffset9, const char *pByteValue9)
{
    char pNodeName9[100] = {};
    uint32_t lOffset9 = 0;  // 32-bit arithmetic that wraps
    unsigned char ucByteValue9 = 0;

    if (levelIn(2, 15)) {
        printf("  writeByteToDevnode( %s, %s, %s )\n", pDevNode9, pOffset9, pByteValue9);
        fflush(stdout);
    }

    if (getByteWriteValues(pDevNode9, pOffset9, pByteValue9, pNodeName9, &lOffset9,
                           &ucByteValue9) != 0) {
        fputs(" SYNTAX ERROR:         --bytewrite {devnode} {0xoffset} {0xbyte}  \n", stdout);
        fputs("         example: dosprep  --bytewrite /dev/zero 0xa0 0xff \n", stdout);
        return -1;
    }

    if (levelIn(16, 31)) {
        printf("  writeByteToDevnode( %s, %08" PRIx32 ", %02x )\n", pNodeName9, lOffset9,
               ucByteValue9);
        fflush(stdout);
    }
    writeOneByteToPartition(pNodeName9, lOffset9, ucByteValue9);
    return 0;
}

void writeOneByteToPartition(const char *psNode8, uint32_t lOffset8, int ucByteValue8)
{
    const unsigned char ucByteValue = static_cast<unsigned char>(ucByteValue8 & 0xff);

    if (levelIn(12, 15)) {
        printf("  writeOneByteToPartition( %s, 0x%08" PRIx32 ", 0x%02x )\n", psNode8, lOffset8,
               ucByteValue);
        fflush(stdout);
    }

    // Write-only and in place: the node is never truncated, a missing path is
    // created, and a device that cannot be read is still written.
    FILE *fd8 = nullptr;
    const int nFd = open(psNode8, O_WRONLY | O_CREAT, 0666);
    if (nFd != -1) {
        fd8 = fdopen(nFd, "w");
        if (fd8 == nullptr)
            close(nFd);
    }
    if (fd8 == nullptr) {
        fputs("You need to be user root to run this program!\n", stdout);
        return;
    }

    writeNodeByte(fd8, lOffset8, ucByteValue);
    fclose(fd8);
}

// ---- drive number stamp ----

void stampDriveNumber()
{
    const int nControllType = getPrimaryBootType();
    if (nControllType > kBootKlarn) {
        if (levelIn(7, 15)) {
            printf("  This is a type %d Drive and will be stamped\n", nControllType);
            fflush(stdout);
        }
        stampDriveNumberOK();
    } else if (levelIn(7, 15)) {
        fputs("  This is an Logical Array Drive. It won't be stamped.\n", stdout);
        fflush(stdout);
    }
}

void stampDriveNumberOK()
{
    char psBuffer[kStampBufferSize] = {};
    char psBootNode[64] = {};
    int nOffsetBootNode = 0;
    int nNodeLimit = 0;

    getBootNode(psBuffer, psBootNode, kListingLineLimit, kBootNodeLimit);
    if (psBootNode[0] == '\0')
        return;

    nOffsetBootNode = getNodeOffset(psBootNode);
    if (levelIn(14, 15)) {
        printf("  stampDriveNumber nOffsetBootNode = %d \n", nOffsetBootNode);
        fflush(stdout);
    }
    // A counting character past the end of the name (/dev/tov alone) would
    // leave the name as it is and stamp the boot node's own parent.
    if (nOffsetBootNode <= 0 || nOffsetBootNode >= static_cast<int>(strlen(psBootNode)))
        return;

    nNodeLimit = getNodeForm(psBootNode).nNodeLimit;

    // The next disk's name: one up from the boot disk's, with no wrap
    // ('9' is followed by ':', 'z' by '{').
    psBootNode[nOffsetBootNode] = static_cast<char>(psBootNode[nOffsetBootNode] + 1);
    for (int j = 1; j < nNodeLimit; j++) {
        writeToDrive(psBootNode, psBuffer, j);
        psBootNode[nOffsetBootNode] = static_cast<char>(psBootNode[nOffsetBootNode] + 1);
    }
}

bool getBootNodeOfLine(const char *psInput5, int nLengthIn5, char *psOutput5, int nLengthOut5)
{
    // The target follows the arrow of the link: the first '>', then the
    // first '/' after it. The cleared rest of the buffer takes a search for
    // a missing character to the limit.
    int i = 0;
    while (i < nLengthIn5 && psInput5[i] != '>')
        i++;
    while (i < nLengthIn5 && psInput5[i] != '/')
        i++;

    int k = 0;
    while (k < nLengthOut5 && i + k < nLengthIn5 && psInput5[i + k] != '\n' &&
           psInput5[i + k] != '\0') {
        psOutput5[k] = psInput5[i + k];
        k++;
    }
    psOutput5[k] = '\0';
    psOutput5[k + 1] = '\0';
    return i < nLengthIn5 && k < nLengthOut5;
}

void getBootNode(char *psInput5, char *psOutput5, int nLengthIn5, int nLengthOut5)
{
    psOutput5[0] = '\0';
    psOutput5[1] = '\0';

    FILE *fd5 = openCommandOutput("ls -al /dev/sssd");
    if (fd5 == nullptr) {
        fputs("Cannot open pipe", stdout);
        return;
    }
    if (fgets(psInput5, nLengthIn5, fd5) == nullptr)
        memset(psInput5, 0, static_cast<size_t>(nLengthIn5));
    if (levelIn(12, 15)) {
        printf("  __%s__\n", psInput5);
        fflush(stdout);
    }

    const bool bKept = getBootNodeOfLine(psInput5, nLengthIn5, psOutput5, nLengthOut5);
    if (nDebugState == 15) {
        printf("__%s__\n", psOutput5);
        fflush(stdout);
    }
    if (!bKept) {
        psOutput5[0] = '\0';
        psOutput5[1] = '\0';
    }
    closeCommandOutput(fd5);
}

// Character nPos of the name, or 0 when the name ends before it.
static char charAt(const char *psName, int nPos)
{
    for (int i = 0; i < nPos; i++) {
        if (psName[i] == '\0')
            return '\0';
    }
    return psName[nPos];
}

NodeForm getNodeForm(const char *psString6)
{
    NodeForm tForm = {0, 0, kOtherNodeLimit};
    const char c5 = charAt(psString6, 5);
    const char c6 = charAt(psString6, 6);
    const char c7 = charAt(psString6, 7);
    const char c8 = charAt(psString6, 8);

    if (c5 == 't' && c6 == 'o' && c7 == 'v')
        tForm.nOffset = 12;  // /dev/tov/c0d0: the disk digit after 'd'
    if (c5 == 'k' && c6 == 'l' && c7 == 'a' && c8 == 'r')
        tForm.nOffset = 14;  // /dev/klarn/c0d0
    if (c5 == 'h' && c6 == 'd')
        tForm.nOffset = 7;   // /dev/hda
    tForm.nChar8 = signedChar(c8);
    if (c5 == 's' && c6 == 'd') {
        // /dev/sdaa and on count their second letter, /dev/sda its first.
        tForm.nOffset = (tForm.nChar8 >= 'a' && tForm.nChar8 <= 'd') ? 8 : 7;
        tForm.nNodeLimit = kSdNodeLimit;
    }
    return tForm;
}

int getNodeOffset(const char *psString6)
{
    if (levelIn(12, 15)) {
        printf("  getNodeOffset( %s  )\n", psString6);
        fflush(stdout);
    }
    const NodeForm tForm = getNodeForm(psString6);
    if (nDebugState == 15) {
        printf("  getNodeOffset psString[8] = %d \n", tForm.nChar8);
        fflush(stdout);
    }
    if (levelIn(12, 25)) {
        printf("  getNodeOffset = %d \n", tForm.nOffset);
        fflush(stdout);
    }
    return tForm.nOffset;
}

void writeToDrive(const char *psNode4, char *psBuffer4, int cDrivePlace)
{
    const signed char cPlace = static_cast<signed char>(cDrivePlace & 0xff);
    if (levelIn(12, 15)) {
        printf("  writeToDrive( %s, %p, %d )\n", psNode4, static_cast<void *>(psBuffer4),
               static_cast<int>(cPlace));
        fflush(stdout);
    }

    FILE *fd4 = fopen(psNode4, "r+b");
    if (fd4 == nullptr)
        return;  // no such disk: the next place is tried

    memset(psBuffer4, 0, kSectorSize);
    if (fread(psBuffer4, 1, kSectorSize, fd4) != static_cast<size_t>(kSectorSize)) {
        // Writing back a sector that was not read whole would put zeros
        // where the disk had data.
        fflush(stdout);
        fprintf(stderr, "writeToDrive: cannot read the first sector of %s; not stamped\n",
                psNode4);
        fclose(fd4);
        return;
    }

    auto *ucSector = reinterpret_cast<unsigned char *>(psBuffer4);
    unsigned char *ucStamp = ucSector + kOffsetDriveStamp;
    ucStamp[0] = static_cast<unsigned char>(cPlace - 128);
    ucStamp[1] = kStampSignatureValue;
    ucStamp[2] = kStampFlagValue;
    ucStamp[3] = kStampFlagValue;
    if (nDebugState >= 4) {
        printf("    __%02x %02x %02x %02x__ \n", ucStamp[0], ucStamp[1], ucStamp[2], ucStamp[3]);
        fflush(stdout);
    }

    writeNodeStart(fd4, ucSector, kSectorSize);
    if (levelIn(12, 15))
        showCharBuffer(ucSector, 192, 32);
    if (levelIn(16, 25))
        showCharBuffer(ucSector, 128, 128);
    fclose(fd4);
}
