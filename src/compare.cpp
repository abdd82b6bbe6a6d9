// dosprep: binary compare of two files (--diff). Lists every position of
// their common length where they differ, then a one-line summary. Both files
// are read in blocks; equal stretches are passed over a word at a time.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dosprep.h"

namespace {

constexpr size_t kReadBlock = size_t{64} * 1024;  // bytes read from each file at a time
constexpr size_t kTextCap = size_t{64} * 1024;   // difference lines held before a write
// "%04lx:   %02x        %02x \n" with a 16-digit position
constexpr size_t kLineMax = 16 + 4 + 2 + 8 + 2 + 2;

constexpr char kDigits[] = "0123456789abcdef";

// Difference lines waiting to go to stdout.
struct DiffText {
    char acText[kTextCap];
    size_t nUsed;
};

void drainText(DiffText *pText)
{
    if (pText->nUsed > 0)
        fwrite(pText->acText, 1, pText->nUsed, stdout);
    pText->nUsed = 0;
}

// One difference line: the position ("%04lx", all digits when more than
// four), then the two bytes.
void addDiffLine(DiffText *pText, unsigned long ulPos, unsigned char c1, unsigned char c2)
{
    if (pText->nUsed + kLineMax > kTextCap)
        drainText(pText);
    char *p = pText->acText + pText->nUsed;
    int nDigits = 4;
    while (nDigits < 16 && (ulPos >> (4 * nDigits)) != 0)
        nDigits++;
    for (int k = nDigits - 1; k >= 0; k--)
        *p++ = kDigits[(ulPos >> (4 * k)) & 15];
    memcpy(p, ":   ", 4);
    p += 4;
    *p++ = kDigits[c1 >> 4];
    *p++ = kDigits[c1 & 15];
    memcpy(p, "        ", 8);
    p += 8;
    *p++ = kDigits[c2 >> 4];
    *p++ = kDigits[c2 & 15];
    *p++ = ' ';
    *p++ = '\n';
    pText->nUsed = static_cast<size_t>(p - pText->acText);
}

// Lists the differences between two blocks of nCount bytes whose first byte
// sits at ulBase; returns how many there were.
unsigned long listDifferences(DiffText *pText, const unsigned char *p1, const unsigned char *p2,
                              size_t nCount, unsigned long ulBase)
{
    unsigned long ulFound = 0;
    size_t k = 0;
    while (k < nCount) {
        // Pass over equal words; stop at the first word that differs.
        while (k + 8 <= nCount) {
            uint64_t u1;
            uint64_t u2;
            memcpy(&u1, p1 + k, 8);
            memcpy(&u2, p2 + k, 8);
            if (u1 != u2)
                break;
            k += 8;
        }
        const size_t nEnd = k + 8 <= nCount ? k + 8 : nCount;
        for (; k < nEnd; k++) {
            if (p1[k] != p2[k]) {
                addDiffLine(pText, ulBase + k, p1[k], p2[k]);
                ulFound++;
            }
        }
    }
    return ulFound;
}

// Reads up to nWant bytes; fewer only at the end of the file or at a failed
// read. A failed read ends the compare as the end of the file would.
size_t readBlock(FILE *fpIn, unsigned char *pBlock, size_t nWant)
{
    return fread(pBlock, 1, nWant, fpIn);
}

// Opens one side of the compare; on failure reports it the way perror does,
// with the whole name even when it is too long for the caller's block.
FILE *openSide(const char *psName, char *pWriteBlock5)
{
    FILE *fpIn = fopen(psName, "r");
    if (fpIn == nullptr) {
        const int nErr = errno;
        snprintf(pWriteBlock5, 128, " compareFiles: Error: open failed for %s ", psName);
        fprintf(stderr, " compareFiles: Error: open failed for %s : %s\n", psName, strerror(nErr));
        return nullptr;
    }
    nFilesOpen++;
    return fpIn;
}

}  // namespace

int compareFiles(const char *p5NamePath1, const char *p5NamePath2, char *pWriteBlock5,
                 int nDebugLevel)
{
    (void)nDebugLevel;  // no output depends on it
    int nCstatus = 0;
    unsigned long ii = 0;
    unsigned long ulDiffByteCount = 0;

    fputs("dosprep32:  Compare Function  \n", stdout);
    fflush(stdout);
    printf("  Byte offset     %s    %s \n", p5NamePath1, p5NamePath2);

    FILE *fp5Input1 = openSide(p5NamePath1, pWriteBlock5);
    FILE *fp5Input2 = openSide(p5NamePath2, pWriteBlock5);
    if (fp5Input1 == nullptr || fp5Input2 == nullptr) {
        nCstatus = -1;
    } else {
        unsigned char ucBlock1[kReadBlock];
        unsigned char ucBlock2[kReadBlock];
        DiffText text;
        text.nUsed = 0;
        for (;;) {
            const size_t nGot1 = readBlock(fp5Input1, ucBlock1, sizeof ucBlock1);
            const size_t nGot2 = readBlock(fp5Input2, ucBlock2, sizeof ucBlock2);
            // Bytes beyond the end of the shorter file play no part.
            const size_t nCommon = nGot1 < nGot2 ? nGot1 : nGot2;
            if (memcmp(ucBlock1, ucBlock2, nCommon) != 0)
                ulDiffByteCount += listDifferences(&text, ucBlock1, ucBlock2, nCommon, ii);
            ii += nCommon;
            if (nCommon < kReadBlock)
                break;
        }
        drainText(&text);
        if (ulDiffByteCount != 0) {
            nCstatus = 1;
            printf("          %lu Bytes were different\n", ulDiffByteCount);
        } else {
            printf("          The fisrt %lu bytes of the files compare as equal. \n", ii);
        }
    }
    if (fp5Input1 != nullptr) {
        fclose(fp5Input1);
        nFilesOpen--;
    }
    if (fp5Input2 != nullptr) {
        fclose(fp5Input2);
        nFilesOpen--;
    }
    return nCstatus;
}
