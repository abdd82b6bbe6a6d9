// diskbytes.h: what the files of diskbytes share: the reading helpers of
// diskfields.cpp, the 8.3 names of diskreads.cpp and each command's routine,
// called from the command table in diskbytes.cpp.
#ifndef DISKBYTES_H
#define DISKBYTES_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "disklayout.h"

constexpr int entry(int nPartition, int nField)  // a field of partition entry 1 to 4
{
    return kOffsetPartitionTable + (nPartition - 1) * kPartitionEntrySize + nField;
}

// The last sector whose bytes an off_t still reaches.
constexpr long long kSectorLimit = INT64_MAX / kSectorSize - 1;
static_assert(sizeof(off_t) >= sizeof(long long), "offsets past 2 GiB");

// ---- reading (diskfields.cpp) ----
int parseSector(const char *pText, long long *pllSector);
int openImage(const char *pFile);
int readFrom(int fd, const char *pFile, long long llOffset, int nCount, int nMin, const char *pWhat,
             unsigned char *pBuffer, int *pnGot);
int readBytes(const char *pFile, long long llOffset, int nCount, const char *pWhat, unsigned char *pBuffer);
int readSector(const char *pFile, long long llSector, unsigned char *pSector);
const char *fatType(const unsigned char *pSector);

// ---- directory entries (diskreads.cpp) ----
void entryName(const char *pParent, const unsigned char *pEntry, char *pOut, size_t nSize);

// ---- the commands: ppArgs the nArgs arguments after the command's name ----
int runBoot(char **ppArgs, int nArgs);      // diskfields.cpp
int runMbr(char **ppArgs, int nArgs);       // diskfields.cpp
int runField(char **ppArgs, int nArgs);     // diskfields.cpp
int runNames(char **ppArgs, int nArgs);     // diskfields.cpp
int runProgram(char **ppArgs, int nArgs);   // diskfields.cpp
int runReads(char **ppArgs, int nArgs);     // readmap.cpp
int runNames83(char **ppArgs, int nArgs);   // names83.cpp
int runWriteLog(char **ppArgs, int nArgs);  // writelog.cpp
int runReplay(char **ppArgs, int nArgs);    // writelog.cpp

#endif
