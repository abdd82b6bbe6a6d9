// dosprep: hex listings of files and buffers. One layout for all: 16 bytes a
// line under a "%04x:" position label, an empty line before every multiple
// of 512 but the first.
#include <unistd.h>

#include <cstdio>

#include "dosprep.h"

// Lists the byte at position ii (positions count from the start of the file
// or buffer, not of the dump).
static void listByte(long long ii, int nValue)
{
    if (ii >= 1 && ii % 512 == 0)
        fputs("\n", stdout);
    if (ii % 16 == 0)
        printf("\n%04llx:", ii);
    printf(" %02x", nValue & 0xff);
    fflush(stdout);
}

// Reads the next byte; false at the end of the file or at a failed read.
static bool readByte(FILE *fpIn, int *pnValue)
{
    *pnValue = fgetc(fpIn);
    return !(feof(fpIn) || ferror(fpIn));
}

void showFile(const char *pFileName)
{
    FILE *fpIn = fopen(pFileName, "r");
    if (fpIn == nullptr) {
        perror("Error Openning File ");
        return;
    }
    long long ii = 0;
    int nValue = 0;
    while (readByte(fpIn, &nValue))
        listByte(ii++, nValue);
    printf("\n          %lld bytes were found in file\n", ii);
    fflush(stdout);
    fclose(fpIn);
}

void showSomeFile(const char *pstrFileName, int nOffset1, int nLengths)
{
    FILE *fpIn = fopen(pstrFileName, "r");
    if (fpIn == nullptr) {
        sleep(2);
        fpIn = fopen(pstrFileName, "r");
    }
    if (fpIn == nullptr) {
        perror("Error Openning File ");
        return;
    }
    long long ii = 0;
    int nValue = 0;
    bool bLasts = true;
    for (; ii < nOffset1; ii++) {
        if (!readByte(fpIn, &nValue)) {
            fputs("End of File error  \n", stdout);
            bLasts = false;
            break;
        }
    }
    const long long nThisIsTheEnd = static_cast<long long>(nOffset1) + nLengths;
    for (ii = nOffset1; bLasts && ii < nThisIsTheEnd && readByte(fpIn, &nValue); ii++)
        listByte(ii, nValue);
    fputs("\n ", stdout);
    fflush(stdout);
    fclose(fpIn);
}

void showBuffer(const int *pReadBuffer, int nOffset2, int nNumberOfBytes)
{
    fputs(" {DOSPREP-showBuffer] --\n", stdout);
    fflush(stdout);
    const int nSize2 = nOffset2 + nNumberOfBytes;
    for (int ii = nOffset2; ii < nSize2; ii++)
        listByte(ii, pReadBuffer[ii]);
    fputs("\n", stdout);
}

void showCharBuffer(const unsigned char *ucReadBuffer, int nOffset2, int nNumberOfBytes)
{
    fputs(" {DOSPREP-showBuffer] --\n", stdout);
    fflush(stdout);
    const int nSize2 = nOffset2 + nNumberOfBytes;
    for (int ii = nOffset2; ii < nSize2; ii++)
        listByte(ii, ucReadBuffer[ii]);
    fputs("\n", stdout);
}
