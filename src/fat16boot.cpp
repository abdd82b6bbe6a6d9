// dosprep: the FAT16 boot sector. Patches the boot disk geometry into
// /root/vantor/dosboot.b and copies its first sector to /dev/sssd1.
#include <cstdio>

#include "disklayout.h"
#include "diskio.h"
#include "dosprep.h"

constexpr const char *kImage = "/root/vantor/dosboot.b";

// Bytes of the image held in memory. Only the start of the image is read and
// rewritten; a longer image keeps the rest of its bytes where they are.
constexpr int kWrite16Capacity = 528;
constexpr int kPutValuesCapacity = 530;
static_assert(kOffsetHiddenSectors < kWrite16Capacity && kOffsetHiddenSectors < kPutValuesCapacity,
              "the patched bytes lie inside the buffers");
static_assert(256 <= kWrite16Capacity && 64 <= kPutValuesCapacity, "the dumps stay inside the buffers");

static void marker(const char *pText)
{
    fputs(pText, stdout);
    fflush(stdout);
}

static void unableToOpen()
{
    fputs("DOSPREP: Unable to open /root/vantor/dosboot.b\n", stderr);
    fflush(stderr);
}

// Reads the image into pSBuffer, one entry per byte, at most nCapacity
// bytes. Returns the number of bytes read, or -1 when it cannot be opened.
static int readImage(int *pSBuffer, int nCapacity)
{
    FILE *fpDOS = fopen(kImage, "r");
    if (fpDOS == nullptr) {
        if (nDebugState == 22)
            marker(" -4-");
        unableToOpen();
        return -1;
    }
    int nFileSize = 0;
    int c = 0;
    while (nFileSize < nCapacity && (c = fgetc(fpDOS)) != EOF)
        pSBuffer[nFileSize++] = c;
    fclose(fpDOS);
    return nFileSize;
}

// Writes the nFileSize entries back over the start of the image. The image
// is opened for update, not emptied, so a write that fails midway (a full
// disk) cannot leave it shorter than it was. Returns true when every byte
// reached the file.
static bool writeImage(const int *pSBuffer, int nFileSize)
{
    FILE *fpDOS = fopen(kImage, "r+");
    if (nDebugState == 22)
        marker(" -1-");
    if (fpDOS == nullptr) {
        if (nDebugState == 22)
            marker(" -3-");
        unableToOpen();
        return false;
    }
    bool bWritten = true;
    for (int ii = 0; ii < nFileSize; ii++) {
        if (fputc(pSBuffer[ii] & 0xff, fpDOS) == EOF)
            bWritten = false;
    }
    if (nDebugState == 22)
        marker(" -2-");
    if (fclose(fpDOS) != 0)
        bWritten = false;
    if (!bWritten) {
        fputs("DOSPREP: Unable to write /root/vantor/dosboot.b\n", stderr);
        fflush(stderr);
    }
    return bWritten;
}

void write16()
{
    int pSBuffer[kWrite16Capacity] = {};
    unsigned char pHDBlock[16] = {};
    char pCommand[512] = {};

    const int nSectorsPerTrack =
        getBootDriveSectorsPerTrack(reinterpret_cast<char *>(pHDBlock), nDebugState);

    const int nFileSize = readImage(pSBuffer, kWrite16Capacity);
    if (nFileSize >= 0) {
        // Entries past the end of a short image are set but never written.
        pSBuffer[kOffsetSectorsPerTrack] = nSectorsPerTrack;
        pSBuffer[kOffsetHeads] = static_cast<int>(uHeads & 0xffu);
        pSBuffer[kOffsetHiddenSectors] = nSectorsPerTrack;
        if (nDebugState == 22)
            showBuffer(pSBuffer, 0, 256);
        else if (nDebugState > 4)
            showBuffer(pSBuffer, 0, 64);

        // Only an image that was patched and saved whole goes to the disk.
        if (writeImage(pSBuffer, nFileSize)) {
            snprintf(pCommand, sizeof pCommand,
                     "/bin/dd if=/root/vantor/dosboot.b of=/dev/sssd1 bs=512 count=1");
            runWriteCommand(pCommand, "[system call] %s\n");
        }
    }
    if (nDebugState == 22)
        showFile(kImage);
}

void putDosSectorValues(int nSectorsPerTrack)
{
    int pSBuffer[kPutValuesCapacity] = {};

    const int nFileSize = readImage(pSBuffer, kPutValuesCapacity);
    if (nFileSize >= 0) {
        pSBuffer[kOffsetSectorsPerTrack] = nSectorsPerTrack;
        pSBuffer[kOffsetHiddenSectors] = nSectorsPerTrack;
        if (nDebugState == 22)
            showBuffer(pSBuffer, 0, 64);
        else if (nDebugState > 4)
            showBuffer(pSBuffer, 0, 48);
        writeImage(pSBuffer, nFileSize);
    }
    if (nDebugState == 22)
        marker(" -6-");
}
