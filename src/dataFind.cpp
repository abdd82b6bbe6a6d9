// dosprep: line lookup in the partition description file (one open at a time,
// until closeDataFind) and the pure text rules of a line: key, tag value and
// number. Everything printed here is an error message on standard error.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dataFind.h"

// ---- module state ----
static FILE *fpFile = nullptr;   // the open description file, or none
static bool bFileLoaded = false; // result of the last load

// Every message of this module goes to standard error, flushed at once.
static void errorMessage(const char *pText)
{
    fputs(pText, stderr);
    fflush(stderr);
}

// A failed search leaves the empty string; six bytes are cleared, the least
// any caller's output buffer holds.
static void clearOutput(char *pOutputString)
{
    memset(pOutputString, 0, 6);
}

void DataFind2(const char *pFileString, const char *pDataString, char *pOutputString)
{
    // A lookup starts afresh; a stream an earlier lookup left open is closed
    // quietly rather than leaked.
    if (fpFile != nullptr)
        fclose(fpFile);
    fpFile = nullptr;
    bFileLoaded = loadFile(pFileString);
    if (bFileLoaded) {
        searchFile(pDataString, pOutputString);
    } else {
        fprintf(stderr, " %s was not found. ", pFileString);
        fflush(stderr);
    }
}

bool loadFile(const char *pFileString2)
{
    if (fpFile != nullptr) {
        fprintf(stderr, "loadFile: Error %s is already open \n", pFileString2);
        fflush(stderr);
        return false;
    }
    fpFile = fopen(pFileString2, "r");
    if (fpFile == nullptr) {
        fprintf(stderr, "loadFile: Error %s was not found. \n", pFileString2);
        fflush(stderr);
        return false;
    }
    return true;
}

// A description file is a few lines; a source that never ends (a device
// such as /dev/zero in its place) is given up after this many pieces, some
// 79 MiB, rather than read for ever.
constexpr long kMaxPieces = 1L << 20;

void searchFile(const char *pDataString, char *pOutputString)
{
    // One read takes at most 79 characters: longer lines come in pieces,
    // each searched by itself.
    static const int LINE_LENGTH = 80;
    char pLine[LINE_LENGTH];

    fflush(stdout);
    memset(pLine, 0, sizeof pLine);
    if (fpFile == nullptr) {
        errorMessage("searchFile: Error The file is not open. \n");
        clearOutput(pOutputString);
        return;
    }
    long nPieces = 0;
    while (fgets(pLine, LINE_LENGTH, fpFile) != nullptr) {
        if (++nPieces > kMaxPieces) {
            errorMessage("searchFile: Error The file is too large. \n");
            break;
        }
        const bool bFound = matchPiece(pDataString, pLine, pOutputString);
        fflush(stdout);  // after every piece, as the search has always done
        if (bFound)
            return;
        memset(pLine, 0, sizeof pLine);
    }
    // A failed read ends the search like the end of the file, but says so.
    if (ferror(fpFile) != 0)
        errorMessage("searchFile: Error The file could not be read. \n");
    clearOutput(pOutputString);
    fflush(stdout);
    fflush(stderr);
}

// A piece that holds the key goes whole, up to its line end, into the output
// (which holds at least as many characters as the piece).
bool matchPiece(const char *pDataString, const char *pLine, char *pOutputString)
{
    if (strSearch(pDataString, pLine) != 1)
        return false;
    const size_t nKeep = strcspn(pLine, "\r\n");
    memcpy(pOutputString, pLine, nKeep);
    pOutputString[nKeep] = '\0';
    return true;
}

// 1 when the key occurs in the text. The start positions tried end one short
// of the last possible one, so a key that ends the text is not found; the
// lookup relies on the line end kept after a key.
int strSearch(const char *pString1, const char *pString2)
{
    const int nLength1 = static_cast<int>(strlen(pString1));
    const int nLength2 = static_cast<int>(strlen(pString2));
    const int nLoopLength = nLength2 - nLength1;
    int nResult = 0;

    for (int i1 = 0; i1 < nLoopLength && nResult == 0; i1++) {
        if (pString1[0] != pString2[i1])
            continue;
        nResult = 1;
        for (int i2 = 0; i2 < nLength1; i2++) {
            if (pString1[i2] != pString2[i1 + i2]) {
                nResult = 0;
                break;
            }
        }
    }
    return nResult;
}

// The value of the line's first tag: the text after its '>' that starts with
// a character from '*' through '9', up to the next '<' or the end of the
// line. A blank or a second '<' before the value means the tag has none.
bool getTagValue(const char *pString1, char *pString2)
{
    int nCount = 0;
    bool bTagStatus = false;
    const char *psOpen = strchr(pString1, '<');

    if (psOpen != nullptr) {
        for (const char *ps = psOpen + 1; *ps != '\0'; ps++) {
            const signed char c = static_cast<signed char>(*ps);
            if (c == ' ' || c == '<')
                break;
            if (c >= '*' && c <= '9') {
                while (ps[nCount] != '\0' && ps[nCount] != '<') {
                    pString2[nCount] = ps[nCount];
                    nCount++;
                }
                bTagStatus = true;
                break;
            }
        }
    }
    pString2[nCount] = '\0';
    return bTagStatus;
}

// Decimal digits to an int, without validation: any character adds its code
// minus '0', and a running value of 0 or below is not multiplied. 32-bit
// arithmetic that wraps.
int getDecimalValue(const char *pString1)
{
    int32_t nTempValue2 = 0;
    for (const char *ps = pString1; *ps != '\0'; ps++) {
        const int32_t nTempValue1 = static_cast<signed char>(*ps) - '0';
        uint32_t uValue = static_cast<uint32_t>(nTempValue2);
        if (nTempValue2 > 0)
            uValue *= 10u;
        nTempValue2 = static_cast<int32_t>(uValue + static_cast<uint32_t>(nTempValue1));
    }
    return nTempValue2;
}

void closeDataFind()
{
    closeFdFile();
}

void closeFdFile()
{
    if (fpFile != nullptr) {
        fclose(fpFile);
        fpFile = nullptr;
    } else {
        errorMessage("closeFile: Error The file was already closed. \n");
    }
}
