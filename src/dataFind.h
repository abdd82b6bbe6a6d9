// dosprep: line lookup in the partition description file and the value of
// the first tag on a line. One file is open at a time, until closeDataFind.
#ifndef DATAFIND_H
#define DATAFIND_H

void DataFind2(const char *pFileString, const char *pDataString, char *pOutputString);
bool loadFile(const char *pFileString2);
void searchFile(const char *pDataString, char *pOutputString);

// The text rules of a line; pure, no file and no output.
/// True when the piece holds the key; the piece up to its line end is then copied.
bool matchPiece(const char *pDataString, const char *pLine, char *pOutputString);
/// 1 when the key occurs in the text other than at its very end, else 0.
int strSearch(const char *pString1, const char *pString2);
/// The value of the line's first tag; the buffer holds as many characters as the line.
bool getTagValue(const char *pString1, char *pString2);
/// Digits to an int, without validation, in 32-bit arithmetic that wraps.
int getDecimalValue(const char *pString1);

void closeDataFind();
void closeFdFile();

#endif
