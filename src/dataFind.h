// dosprep: line lookup in the partition description file and the value of
// the first tag on a line. One file is open at a time, until closeDataFind.
#ifndef DATAFIND_H
#define DATAFIND_H

void DataFind2(const char *pFileString, const char *pDataString, char *pOutputString);
bool loadFile(const char *pFileString2);
void searchFile(const char *pDataString, char *pOutputString);
int strSearch(const char *pString1, const char *pString2);
bool getTagValue(const char *pString1, char *pString2);
int getDecimalValue(const char *pString1);
void closeDataFind();
void closeFdFile();

#endif
