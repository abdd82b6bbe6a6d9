// dosprep: binary compare of two files (--diff). Lists every position of
// their common length where they differ, then a one-line summary.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dosprep.h"

// Opens one side of the compare; on failure reports it the way perror does,
// with the whole name even when it is too long for the caller's block.
static FILE *openSide(const char *psName, char *pWriteBlock5)
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
        while (!feof(fp5Input1) && !feof(fp5Input2)) {
            const int c5Value1 = fgetc(fp5Input1);
            const int c5Value2 = fgetc(fp5Input2);
            // A failed read ends the compare as an end of file would.
            if (ferror(fp5Input1) || ferror(fp5Input2)) {
                ii++;
                break;
            }
            if (!feof(fp5Input1) && !feof(fp5Input2) && c5Value1 != c5Value2) {
                ulDiffByteCount++;
                nCstatus = 1;
                printf("%04lx: ", ii);
                printf("  %02x        %02x \n", c5Value1, c5Value2);
            }
            ii++;
        }
        if (ulDiffByteCount != 0) {
            printf("          %lu Bytes were different\n", ulDiffByteCount);
        } else {
            ii--;
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
