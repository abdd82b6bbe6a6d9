// dosprep: hex listings of files and buffers. One layout for all: 16 bytes a
// line under a "%04x:" position label, an empty line before every multiple
// of 512 but the first. Files are read and the text written in blocks.
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "dosprep.h"

namespace {

constexpr size_t kReadBlock = size_t{64} * 1024;  // bytes read from a file at a time
constexpr size_t kChunk = 4096;           // bytes formatted between room checks
constexpr size_t kTextCap = size_t{64} * 1024;   // listing text held before a write

// Worst case of the text for kChunk bytes: " xx" each, and per line (plus one
// for a chunk that starts mid-line) an empty line, "\n", 16 label digits, ":".
constexpr size_t kChunkTextMax = kChunk * 3 + (kChunk / 16 + 1) * 19;
static_assert(kChunkTextMax + 1 < kTextCap, "a formatted chunk must fit the text buffer");

// " %02x" of every byte value; the fourth byte lets a 4-byte copy be used.
struct HexTable {
    char acEntry[256][4];
};
constexpr HexTable makeHexTable()
{
    HexTable t{};
    const char *psDigits = "0123456789abcdef";
    for (int i = 0; i < 256; i++) {
        t.acEntry[i][0] = ' ';
        t.acEntry[i][1] = psDigits[i >> 4];
        t.acEntry[i][2] = psDigits[i & 15];
    }
    return t;
}
constexpr HexTable kHex = makeHexTable();

// Listing text waiting to go to stdout.
struct ListingText {
    char acText[kTextCap];
    size_t nUsed;
};

// "%04llx" of a position: at least four digits, all of them when more.
char *putLabel(char *p, long long llPos)
{
    const unsigned long long ullPos = static_cast<unsigned long long>(llPos);
    int nDigits = 4;
    while (nDigits < 16 && (ullPos >> (4 * nDigits)) != 0)
        nDigits++;
    for (int k = nDigits - 1; k >= 0; k--)
        *p++ = kHex.acEntry[(ullPos >> (4 * k)) & 15][2];
    return p;
}

// Formats nCount bytes (at most kChunk) whose first one sits at llPos.
size_t formatChunk(char *pOut, const unsigned char *pBytes, size_t nCount, long long llPos)
{
    char *p = pOut;
    for (size_t k = 0; k < nCount; k++, llPos++) {
        if ((llPos & 15) == 0) {
            if (llPos >= 1 && (llPos & 511) == 0)
                *p++ = '\n';
            *p++ = '\n';
            p = putLabel(p, llPos);
            *p++ = ':';
        }
        memcpy(p, kHex.acEntry[pBytes[k]], 4);
        p += 3;
    }
    return static_cast<size_t>(p - pOut);
}

void drainText(ListingText *pText)
{
    if (pText->nUsed > 0)
        fwrite(pText->acText, 1, pText->nUsed, stdout);
    pText->nUsed = 0;
}

void addText(ListingText *pText, const char *psText)
{
    const size_t nLen = strlen(psText);
    if (pText->nUsed + nLen > kTextCap)
        drainText(pText);
    if (nLen > kTextCap) {
        fwrite(psText, 1, nLen, stdout);
        return;
    }
    memcpy(pText->acText + pText->nUsed, psText, nLen);
    pText->nUsed += nLen;
}

// Lists nCount bytes whose first one sits at position llPos.
void listBytes(ListingText *pText, const unsigned char *pBytes, size_t nCount, long long llPos)
{
    while (nCount > 0) {
        const size_t nPart = nCount < kChunk ? nCount : kChunk;
        // +1: the last " %02x" is copied as four bytes
        if (pText->nUsed + kChunkTextMax + 1 > kTextCap)
            drainText(pText);
        pText->nUsed += formatChunk(pText->acText + pText->nUsed, pBytes, nPart, llPos);
        pBytes += nPart;
        nCount -= nPart;
        llPos += static_cast<long long>(nPart);
    }
}

// Reads up to nWant bytes; fewer only at the end of the file or at a failed
// read, both of which end a dump.
size_t readBlock(FILE *fpIn, unsigned char *pBlock, size_t nWant)
{
    return fread(pBlock, 1, nWant, fpIn);
}

// Brings the stream to position nOffset; false when the file ends (or a read
// fails) before it. A seekable file is checked by reading the byte just
// before the position; anything else is read through.
bool skipTo(FILE *fpIn, int nOffset, unsigned char *pBlock)
{
    if (nOffset <= 0)
        return true;
    if (fseeko(fpIn, static_cast<off_t>(nOffset) - 1, SEEK_SET) == 0) {
        fgetc(fpIn);
        return !(feof(fpIn) || ferror(fpIn));
    }
    clearerr(fpIn);
    size_t nLeft = static_cast<size_t>(nOffset);
    while (nLeft > 0) {
        const size_t nWant = nLeft < kReadBlock ? nLeft : kReadBlock;
        if (fread(pBlock, 1, nWant, fpIn) < nWant)
            return false;
        nLeft -= nWant;
    }
    return true;
}

// The close of showBuffer and showCharBuffer: banner and bytes are flushed,
// the closing "\n" is left in the buffer.
void closeBufferDump(ListingText *pText)
{
    drainText(pText);
    fflush(stdout);
    fputs("\n", stdout);
}

constexpr const char *kBanner = " {DOSPREP-showBuffer] --\n";

// Opens a file to list; with bRetry a failed open is tried once more after
// 2 seconds. A file that does not open is reported and gives none.
FILE *openListing(const char *psName, bool bRetry)
{
    FILE *fpIn = fopen(psName, "r");
    if (fpIn == nullptr && bRetry) {
        sleep(2);
        fpIn = fopen(psName, "r");
    }
    if (fpIn == nullptr)
        perror("Error Openning File ");
    return fpIn;
}

}  // namespace

void showFile(const char *pFileName)
{
    FILE *fpIn = openListing(pFileName, false);
    if (fpIn == nullptr)
        return;
    unsigned char ucBlock[kReadBlock];
    ListingText text;
    text.nUsed = 0;
    long long ii = 0;
    for (;;) {
        const size_t nGot = readBlock(fpIn, ucBlock, sizeof ucBlock);
        listBytes(&text, ucBlock, nGot, ii);
        ii += static_cast<long long>(nGot);
        if (nGot < sizeof ucBlock)
            break;
    }
    char acClosing[80];
    snprintf(acClosing, sizeof acClosing, "\n          %lld bytes were found in file\n", ii);
    addText(&text, acClosing);
    drainText(&text);
    fflush(stdout);
    fclose(fpIn);
}

void showSomeFile(const char *pstrFileName, int nOffset1, int nLengths)
{
    FILE *fpIn = openListing(pstrFileName, true);
    if (fpIn == nullptr)
        return;
    unsigned char ucBlock[kReadBlock];
    ListingText text;
    text.nUsed = 0;
    if (skipTo(fpIn, nOffset1, ucBlock)) {
        const long long nThisIsTheEnd = static_cast<long long>(nOffset1) + nLengths;
        long long ii = nOffset1;
        while (ii < nThisIsTheEnd) {
            const unsigned long long ullLeft = static_cast<unsigned long long>(nThisIsTheEnd - ii);
            const size_t nWant = ullLeft < kReadBlock ? static_cast<size_t>(ullLeft) : kReadBlock;
            const size_t nGot = readBlock(fpIn, ucBlock, nWant);
            listBytes(&text, ucBlock, nGot, ii);
            ii += static_cast<long long>(nGot);
            if (nGot < nWant)
                break;
        }
    } else {
        addText(&text, "End of File error  \n");
    }
    addText(&text, "\n ");
    drainText(&text);
    fflush(stdout);
    fclose(fpIn);
}

void showBuffer(const int *pReadBuffer, int nOffset2, int nNumberOfBytes)
{
    ListingText text;
    text.nUsed = 0;
    addText(&text, kBanner);
    // Only the low eight bits of each element are listed.
    unsigned char ucChunk[kChunk];
    const long long nSize2 = static_cast<long long>(nOffset2) + nNumberOfBytes;
    for (long long ii = nOffset2; ii < nSize2;) {
        const size_t nPart = nSize2 - ii < static_cast<long long>(kChunk)
                                 ? static_cast<size_t>(nSize2 - ii) : kChunk;
        for (size_t k = 0; k < nPart; k++)
            ucChunk[k] = static_cast<unsigned char>(pReadBuffer[ii + static_cast<long long>(k)]);
        listBytes(&text, ucChunk, nPart, ii);
        ii += static_cast<long long>(nPart);
    }
    closeBufferDump(&text);
}

void showCharBuffer(const unsigned char *ucReadBuffer, int nOffset2, int nNumberOfBytes)
{
    ListingText text;
    text.nUsed = 0;
    addText(&text, kBanner);
    if (nNumberOfBytes > 0)
        listBytes(&text, ucReadBuffer + nOffset2, static_cast<size_t>(nNumberOfBytes), nOffset2);
    closeBufferDump(&text);
}
