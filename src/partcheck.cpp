// dosprep: the partition threshold check (--dos). Compares two sector counts
// against each other and a threshold (its text read by the pure
// getThresholdValue); the answer is the process exit status.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "disklayout.h"
#include "dosprep.h"

namespace {

// Whole 512-byte sectors in 10^6 bytes.
constexpr unsigned int kSectorsPerMegabyte = 1953;

// Every trace of the check is flushed at once.
void traceFlush() { fflush(stdout); }

// The first four bytes of a stream, file order; a byte past the end counts
// as 255 (the end-of-file value taken as a byte).
void readCount(FILE *fpIn, unsigned char *pBytes)
{
    for (int ii = 0; ii < 4; ii++)
        pBytes[ii] = static_cast<unsigned char>(fgetc(fpIn));
}

}  // namespace

ThresholdText getThresholdValue(const char *threshold)
{
    // Digits in decimal; the characters up to 'E' above '9' count on from 10,
    // anything at or below '/' counts 0. A running 0 is not multiplied, so
    // leading zeros do not matter.
    ThresholdText tThres = {};
    unsigned int thres2 = 0;
    for (int i = 0; i < kThresholdDigits && threshold[i] != '\0' &&
                    static_cast<signed char>(threshold[i]) <= 'E';
         i++) {
        const signed char cThres = static_cast<signed char>(threshold[i]);
        const unsigned int thres1 = cThres > '/' ? static_cast<unsigned int>(cThres - '0') : 0;
        if (thres2 != 0)
            thres2 *= 10;
        thres2 += thres1;
        tThres.cTaken[i] = threshold[i];
        tThres.uRunning[i] = thres2;
        tThres.nTaken = i + 1;
    }
    tThres.uMegabytes = thres2;
    return tThres;
}

int DosPartCheck(const char *tPartSize, const char *dPartSize, const char *threshold)
{
    // The counts as read, little-endian.
    unsigned char table[4] = {};
    unsigned char part[4] = {};
    int DosReturn = -1;

    if (nDebugState == 2) {
        printf("______dosPartCheck_%s_%s_%s__\n", tPartSize, dPartSize, threshold);
        traceFlush();
    }

    const ThresholdText tThres = getThresholdValue(threshold);
    for (int i = 0; i < tThres.nTaken && nDebugState == 2; i++) {
        printf("._.%c._", tThres.cTaken[i]);
        traceFlush();
        printf("..%u..", tThres.uRunning[i]);
        traceFlush();
    }
    const unsigned int thres2 = tThres.uMegabytes;
    if (nDebugState == 2) {
        printf("___________thres__%u_%02X\n", thres2, thres2);
        traceFlush();
    }
    const int32_t lThreshold = static_cast<int32_t>(thres2 * kSectorsPerMegabyte);
    if (nDebugState >= 2 && nDebugState <= 5) {
        printf("______dosPartCheck_Threshold = %ld   0x%lX__\n", static_cast<long>(lThreshold),
               static_cast<unsigned long>(static_cast<uint32_t>(lThreshold)));
        traceFlush();
    }

    FILE *TableEntry = fopen(tPartSize, "r");
    if (TableEntry == nullptr)
        perror("Error Openning File ");
    FILE *Partition = fopen(dPartSize, "r");
    if (Partition == nullptr)
        perror("Error Openning File ");
    if (TableEntry != nullptr && Partition != nullptr) {
        readCount(TableEntry, table);
        readCount(Partition, part);
    }
    const int32_t lPartition = static_cast<int32_t>(getLe32(part));
    const int32_t lTablepart = static_cast<int32_t>(getLe32(table));
    closeFile(TableEntry);
    closeFile(Partition);

    if (nDebugState >= 2 && nDebugState <= 6) {
        printf("______d_table_%02X_%02X_%02X_%02X__\n", table[3], table[2], table[1], table[0]);
        traceFlush();
        printf("______d_part_%02X_%02X_%02X_%02X__\n", part[3], part[2], part[1], part[0]);
        traceFlush();
        // Shown as the signed 32-bit count and its 32-bit pattern.
        printf("______d__table_%ld_%lX__\n", static_cast<long>(lTablepart),
               static_cast<unsigned long>(static_cast<uint32_t>(lTablepart)));
        traceFlush();
        printf("______d__part_%ld_%lX__\n", static_cast<long>(lPartition),
               static_cast<unsigned long>(static_cast<uint32_t>(lPartition)));
        traceFlush();
    }

    if (lPartition < lThreshold || lPartition == lTablepart)
        DosReturn = 0;
    else if (lPartition > lTablepart)
        DosReturn = -1;
    else
        DosReturn = 1;

    if (nDebugState >= 2 && nDebugState <= 14) {
        printf("______dosPartCheck_Return code__ %d__\n", DosReturn);
        traceFlush();
    }
    exit(DosReturn);
}
