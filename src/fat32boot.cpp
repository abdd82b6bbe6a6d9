// dosprep: the FAT32 boot area. Dumps the first sectors of /dev/sssd1, merges
// them with the template dos98boot.b into update98boot.b; also the stream
// closing helpers and the open-stream count.
#include <linux/hdreg.h>

#include <cstdio>
#include <cstring>

#include "disklayout.h"
#include "diskio.h"
#include "dosprep.h"

namespace {

constexpr const char *kDiskImage = "/root/vantor/new98boot.b";
constexpr const char *kTemplate = "/root/vantor/dos98boot.b";
constexpr const char *kMerged = "/root/vantor/update98boot.b";

// The caller's work block (pWriteBlock of main): first the geometry record,
// then the dump command.
constexpr size_t kWorkBlockSize = 128;
static_assert(sizeof(struct hd_geometry) <= kWorkBlockSize, "geometry fits the work block");

// Bytes of each pass that come from the disk: jump, OEM name, parameter
// block and the FAT32 extended fields up to the file-system type label.
constexpr int kDiskBytes = kOffsetBootCode32;
// Extra sectors dumped beyond the main area, and the sectors of the backup.
constexpr int kDumpExtraSectors = 6;
constexpr int kBackupSectors = 3;
// Size of the main area when the caller asks for fewer than 6 sectors.
constexpr int kShortAreaBytes = 4096;

constexpr int kFirstHardDisk = 0x80;  // the BIOS drive number of the boot sector

// Opens one file of the merge; a stream that opened with its error
// indication set counts as a failure (and is closed again).
FILE *openMergeFile(const char *psPath, const char *psMode, const char *psError)
{
    FILE *fpFile = fopen(psPath, psMode);
    if (fpFile != nullptr && ferror(fpFile) == 0) {
        nFilesOpen++;
        return fpFile;
    }
    if (fpFile != nullptr)
        fclose(fpFile);
    perror(psError);
    return nullptr;
}

// The value a disk byte at position ii of a pass is written with.
int patchByte(int ii, int nValue, int nDebugLevel)
{
    if (ii == kOffsetHeads && ucFlagHeads != 0) {
        nValue = nIsATA == 1 ? 255 : ucFlagHeads;
        if (nDebugState >= 10 && nDebugState <= 15) {
            printf("    copyDosBootInfo__ Heads = %d [0x%02x] \n", nValue, nValue);
            fflush(stdout);
        }
    }
    // Only low bytes are set: the byte after each is cleared.
    if (ii == kOffsetSectorsPerTrack + 1 || ii == kOffsetHeads + 1 ||
        ii == kOffsetHiddenSectors + 1)
        nValue = 0;
    if (ii == kOffsetSectorsPerTrack || ii == kOffsetHiddenSectors) {
        nValue = ucSectorsPerTrack;
        if (nDebugState >= 10 && nDebugState <= 15) {
            printf("    copyDosBootInfo__ SectorsPerTrack = %d [0x%02x] \n", nValue, nValue);
            fflush(stdout);
        }
    }
    if (ii == kOffsetDriveNumber32)
        nValue = kFirstHardDisk;
    // A marker pattern in the FSInfo and backup sector numbers, so that a
    // test-mode image can be told from a real one.
    if (isTestMode() && nDebugLevel >= 15) {
        if (ii == kOffsetFsInfoSector)
            nValue = 0xDA;
        if (ii == kOffsetFsInfoSector + 1)
            nValue = 0x11;
        if (ii == kOffsetBackupBootSector)
            nValue = 0xA5;
        if (ii == kOffsetBackupBootSector + 1)
            nValue = 0x00;
    }
    return nValue;
}

// Reads of the merge that failed other than at an end of file (a directory
// or an unreadable file in place of an input). The merged area then holds
// the failed reads' 0xff, and must not reach the disk.
bool bDiskReadFailed = false;
bool bTemplateReadFailed = false;

void noteReadFailures(FILE *fpDisk, FILE *fpTemplate)
{
    if (ferror(fpDisk) != 0)
        bDiskReadFailed = true;
    if (ferror(fpTemplate) != 0)
        bTemplateReadFailed = true;
}

void mergeError(const char *pText)
{
    fputs(pText, stderr);
    fflush(stderr);
}

}  // namespace

int setUpdate98(int nSectorOffset1, char *pWriteBlock3, int nDebugLevel)
{
    int nUstatus = 0;
    FILE *fp3Input1 = nullptr;
    FILE *fp3Input2 = nullptr;
    FILE *fp3Output = nullptr;

    memset(pWriteBlock3, 0, sizeof(struct hd_geometry));
    ucSectorsPerTrack = getBootDriveSectorsPerTrack(pWriteBlock3, nDebugLevel);
    if (ucSectorsPerTrack != 32 && ucSectorsPerTrack != 63)
        ucSectorsPerTrack = 32;
    if (nDebugState > 5)
        printf("   setUpdate98__ucSectorsPerTrack= %d [0x%x]\n", ucSectorsPerTrack,
               ucSectorsPerTrack);

    // The dump only reads the partition, so it runs in test mode too.
    snprintf(pWriteBlock3, kWorkBlockSize,
             "/bin/dd if=/dev/sssd1 of=/root/vantor/new98boot.b bs=512 count=%d",
             nSectorOffset1 + kDumpExtraSectors);
    runReadCommand(pWriteBlock3, "   system__%s\n");

    fp3Input1 = openMergeFile(kDiskImage, "r",
                              "setUpdate98: Error: open failed for /root/vantor/new98boot.b ");
    if (fp3Input1 == nullptr)
        nUstatus = -1;
    if (nUstatus == 0) {
        fp3Input2 = openMergeFile(kTemplate, "r",
                                  "setUpdate98: Error: open failed for /root/vantor/dos98boot.b ");
        if (fp3Input2 == nullptr)
            nUstatus = -1;
    }
    if (nUstatus == 0) {
        fp3Output = openMergeFile(kMerged, "w",
                                  "setUpdate98: Error: open failed for /root/vantor/update98boot.b ");
        if (fp3Output == nullptr)
            nUstatus = -1;
    }
    if (nUstatus == -1) {
        close3Files(fp3Input1, fp3Input2, fp3Output);
        return -1;
    }

    if (nDebugState > 7) {
        printf("   setDosInfo(%p, %p, %p, %d, %d)\n", static_cast<void *>(fp3Input1),
               static_cast<void *>(fp3Input2), static_cast<void *>(fp3Output), nSectorOffset1,
               nDebugLevel);
        fflush(stdout);
    }
    bDiskReadFailed = false;
    bTemplateReadFailed = false;
    setDosInfo(fp3Input1, fp3Input2, fp3Output, nSectorOffset1, nDebugLevel);
    const bool bWriteFailed = fflush(fp3Output) != 0 || ferror(fp3Output) != 0;
    if (nDebugState >= 10 && nDebugState <= 15) {
        printf("   close3Files(%p, %p, %p) \n", static_cast<void *>(fp3Input1),
               static_cast<void *>(fp3Input2), static_cast<void *>(fp3Output));
        fflush(stdout);
    }
    close3Files(fp3Input1, fp3Input2, fp3Output);

    if (nDebugState == 22) {
        showSomeFile(kDiskImage, 0, 256);
        showSomeFile(kTemplate, 0, 256);
        showSomeFile(kMerged, 0, 256);
        showSomeFile(kMerged, 3072, 256);
    }
    if (nDebugState == 21)
        showSomeFile(kMerged, 0, 4608);

    // A merge from failed reads, or one not saved whole, is not written.
    if (bDiskReadFailed)
        mergeError("setUpdate98: Error: read failed for /root/vantor/new98boot.b \n");
    if (bTemplateReadFailed)
        mergeError("setUpdate98: Error: read failed for /root/vantor/dos98boot.b \n");
    if (bWriteFailed)
        mergeError("setUpdate98: Error: write failed for /root/vantor/update98boot.b \n");
    return bDiskReadFailed || bTemplateReadFailed || bWriteFailed ? -1 : 0;
}

void setDosInfo(FILE *fpInput1, FILE *fpInput2, FILE *fpOutput, int nDosCopySectorNumber,
                int nDebugLevel)
{
    if (nDebugLevel >= 5 && nDebugLevel <= 15) {
        printf("1.copyDosBootInfo(%p, %p, %p, %d, %d, %d)  \n", static_cast<void *>(fpInput1),
               static_cast<void *>(fpInput2), static_cast<void *>(fpOutput),
               nDosCopySectorNumber, nDebugLevel, 0);
        printf("    nDosCopySectorNumber %d, nDebugLevel %d  \n", nDosCopySectorNumber,
               nDebugLevel);
    }
    const int nBytesCopied =
        copyDosBootInfo(fpInput1, fpInput2, fpOutput, nDosCopySectorNumber, nDebugLevel, 0) + 1;
    const int nBytesToCopyArea =
        nDosCopySectorNumber >= 6 ? nDosCopySectorNumber * kSectorSize : kShortAreaBytes;
    const int nBytesToSkip =
        nBytesToCopyArea - nBytesCopied > 0 ? nBytesToCopyArea - nBytesCopied : 0;
    if (nDebugLevel >= 9 && nDebugLevel <= 15)
        printf("     nBytesSkipped = %d  - %d = %d\n", nBytesToCopyArea, nBytesCopied,
               nBytesToSkip);
    int nCountOffset = nBytesCopied;

    // Complete the main area with zeros; the disk image moves on in step.
    for (int ii = 0; ii < nBytesToSkip; ii++) {
        int nValue = fgetc(fpInput1);
        if (ferror(fpInput1) == 0) {
            nValue = 0;
            clearerr(fpInput1);
        }
        fputc(nValue & 0xff, fpOutput);
    }
    nCountOffset += nBytesToSkip;
    noteReadFailures(fpInput1, fpInput2);

    if (nDebugLevel >= 3)
        printf("\n2.copyDosBootInfo(%p, %p, %p, %d, %d, %d)  \n", static_cast<void *>(fpInput1),
               static_cast<void *>(fpInput2), static_cast<void *>(fpOutput), kBackupSectors,
               nDebugLevel, nCountOffset);
    // The backup starts over from the start of both inputs, so that it carries
    // the same parameter block as the main boot sector.
    rewind(fpInput2);
    clearerr(fpInput2);
    rewind(fpInput1);
    clearerr(fpInput1);
    copyDosBootInfo(fpInput1, fpInput2, fpOutput, kBackupSectors, nDebugLevel, nCountOffset);
}

int copyDosBootInfo(FILE *fpInput1, FILE *fpInput2, FILE *fpOutput, int nCopySectorNumber,
                    int nDebugLevel, int nCountOffset)
{
    int ii = 0;
    int nSectorCounter = 0;

    if (nDebugLevel >= 11 && nDebugLevel <= 15)
        printf("    copyDosBootInfo  SectorNumber: %d CountOffset: %X \n", nCopySectorNumber,
               static_cast<unsigned int>(nCountOffset));
    while (feof(fpInput2) == 0 && nSectorCounter < nCopySectorNumber) {
        if (ii < kDiskBytes) {
            // The template byte is dropped so that it stays in step with the
            // output; the disk byte is written even when a read ran out.
            const char nNoValue = static_cast<char>(fgetc(fpInput2));
            (void)nNoValue;
            const int nValue = patchByte(ii, fgetc(fpInput1), nDebugLevel);
            fputc(nValue & 0xff, fpOutput);
        } else {
            const int nValue = fgetc(fpInput2);
            if (feof(fpInput2) == 0)
                fputc(nValue & 0xff, fpOutput);
        }
        ii++;
        if (ii % kSectorSize == 0)
            nSectorCounter++;
    }
    noteReadFailures(fpInput1, fpInput2);
    return ii - 1;
}

void closeFile(FILE *fpHandle2)
{
    if (fpHandle2 != nullptr) {
        fclose(fpHandle2);
        nFilesOpen--;
    }
}

void close2Files(FILE *fpFirst, FILE *fpSecond)
{
    closeFile(fpFirst);
    closeFile(fpSecond);
}

void close3Files(FILE *fpFirst, FILE *fpSecond, FILE *fpThird)
{
    closeFile(fpFirst);
    closeFile(fpSecond);
    closeFile(fpThird);
}
