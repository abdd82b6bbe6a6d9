// diskreads.h: partition 1's FAT as diskreads.cpp walks it (the MBR's
// partitions, the boot area, the FATs, and the runs of clusters of every file
// and directory found), for the mapping of a boot's reads in readmap.cpp.
#ifndef DISKREADS_H
#define DISKREADS_H

#include "diskbytes.h"

// ---- the walk's bounds ----
// The MBR's partitions and partition 1's FAT: its boot area, FATs, root
// directory and the clusters of every file and directory found from the
// root down kDirectoryDepth levels, the chains followed through FAT 1.
constexpr int kDirectoryDepth = 4;
constexpr int kOwnerLimit = 4096;                  // files and directories mapped
constexpr int kRunLimit = 65536;                   // runs of consecutive clusters
constexpr uint32_t kMarkedClusters = 1U << 22;     // clusters a chain can mark as its own
constexpr int kPathSize = (kDirectoryDepth + 1) * 13 + 1;

struct Owner {  // a file or directory, or the root directory (owner 0)
    char pPath[kPathSize];
    bool bDirectory;
    int nDepth;           // 0: the root directory
    uint32_t uFirst;      // its first cluster, 0: none
    int nFirstRun, nRuns; // its runs, in chain order until the runs are sorted
    bool bEntered;        // a read has landed in it
};

struct Run {  // uCount consecutive clusters of one chain
    uint32_t uFirst, uCount;
    int nOwner;
};

struct Layout {
    const char *pFile;
    int fd;
    long long pStart[kPartitionEntries + 1], pSectors[kPartitionEntries + 1];  // [1..4]
    unsigned char pType[kPartitionEntries + 1];
    bool bFat, bFat32;
    uint32_t uReserved, uFats, uFatSectors, uRootSectors, uPerCluster, uBackup, uFsInfo;
    uint32_t uDataStart, uClusters;  // partition-relative; clusters 2 .. uClusters + 1
    long long llCachedSector;        // of pCache, -1: none
    unsigned char pCache[kSectorSize];
    Owner pOwners[kOwnerLimit];
    int nOwners;
    Run pRuns[kRunLimit];
    int nRuns;
    unsigned char pMarked[kMarkedClusters / 8];
    uint32_t uFollowed;
    bool bShort;  // a bound stopped the walk
};

// Partition 1's layout and its directories, from tLayout's partitions (the
// MBR's) and the image open as tLayout.fd: 0, or 1 with a message.
int readFat(Layout &tLayout);
// The owner of data cluster uCluster, or -1.
int clusterOwner(const Layout &tLayout, uint32_t uCluster);
// Whether a chain holds one of the clusters uLow .. uHigh - 1.
bool ownedIn(const Layout &tLayout, uint64_t uLow, uint64_t uHigh);

#endif
