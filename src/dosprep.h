// dosprep: the run-wide state and the routines of the main module that the
// subsystems share (front end helpers, drive inspection, partition layout,
// boot records, diagnostics). The raw device writes live in hdwrite.h, test
// mode and the shell in diskio.h, the on-disk offsets in disklayout.h, the
// description lookup in dataFind.h.
#ifndef DOSPREP_H
#define DOSPREP_H

#include <cstdint>
#include <cstdio>

// ---- fixed paths of the installation environment ----
// Every data file is this directory plus a fixed name; the paths are
// written out whole where they are used, so that each can be read at a glance.
constexpr const char *DataDir = "/root/vantor/";
constexpr const char *kBootDisk = "/dev/sssd";
constexpr const char *kBootPartition = "/dev/sssd1";

// Line sizes of the main module: the description line buffer and the key.
constexpr int LINE_LENGTH = 126;
constexpr int LINE_LNGTH2 = 46;
constexpr char newline = '\n';

// ---- run-wide state ----
extern int nDebugState;          // diagnostic level 0..35 (--debugX)
extern int nIsATest;             // number of --test options; read through isTestMode
extern int nIsATA;               // 1 once the boot controller is ATA; never cleared
extern unsigned int uHeads;      // heads of the last geometry read (low 8 bits count)
extern unsigned char ucSectorsPerTrack;  // sectors per track of the FAT32 merge
extern unsigned char ucFlagHeads;        // heads the FAT32 merge writes (never changes)
extern int nFilesOpen;           // streams opened by the FAT32 merge and the compare
extern int fd;                   // /dev/sssd opened read-write, kept for the run

// ---- front end helpers (runstate.cpp, main.cpp) ----
int dpAtoI(int cText);
void versionMessage();
void syntaxMessage();

// ---- drive inspection (drive.cpp) ----
unsigned char getBootDriveSectorsPerTrack(char *pWriteBlock6, int nDebugLevel);
int open_crom();

// ---- partition layout (partition.cpp, partcheck.cpp) ----
int sfdisk(int cOSID, int nGeodisk);
int32_t CylinderBoundry(int nHeads, int nSectorsPerTrack, int nCylinders,
                        int nPartitionMegaByteSize);
int DosPartCheck(const char *tPartSize, const char *dPartSize, const char *threshold);

// The threshold text of --dos as read: at most kThresholdDigits characters
// are taken, each with the running value after it; the megabytes are the last.
constexpr int kThresholdDigits = 4;
struct ThresholdText {
    int nTaken;                                  // 0..kThresholdDigits
    char cTaken[kThresholdDigits];               // the characters taken
    unsigned int uRunning[kThresholdDigits];     // the value after each
    unsigned int uMegabytes;                     // the threshold in megabytes
};
/// Reads the threshold text; pure, it prints nothing.
ThresholdText getThresholdValue(const char *threshold);

// ---- boot records (fat16boot.cpp, fat32boot.cpp) ----
void write16();
void putDosSectorValues(int nSectorsPerTrack);
int setUpdate98(int nSectorOffset1, char *pWriteBlock3, int nDebugLevel);
void setDosInfo(FILE *fpInput1, FILE *fpInput2, FILE *fpOutput,
                int nDosCopySectorNumber, int nDebugLevel);
int copyDosBootInfo(FILE *fpInput1, FILE *fpInput2, FILE *fpOutput,
                    int nCopySectorNumber, int nDebugLevel, int nCountOffset);
void closeFile(FILE *fpHandle2);
void close2Files(FILE *fpFirst, FILE *fpSecond);
void close3Files(FILE *fpFirst, FILE *fpSecond, FILE *fpThird);

// ---- diagnostics (hexdump.cpp, compare.cpp) ----
void showFile(const char *pFileName);
void showSomeFile(const char *pstrFileName, int nOffset1, int nLengths);
void showBuffer(const int *pReadBuffer, int nOffset2, int nNumberOfBytes);
void showCharBuffer(const unsigned char *ucReadBuffer, int nOffset2, int nNumberOfBytes);
int compareFiles(const char *p5NamePath1, const char *p5NamePath2,
                 char *pWriteBlock5, int nDebugLevel);

#endif
