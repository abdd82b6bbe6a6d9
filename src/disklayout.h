// dosprep: where the fields sit in a FAT boot sector and in a master boot
// record, named once, and the little-endian readers for them. Every
// source that reads or writes those bytes, the sandbox's diskbytes among
// them, takes the offsets from here.
#ifndef DISKLAYOUT_H
#define DISKLAYOUT_H

#include <cstdint>

constexpr int kSectorSize = 512;

// ---- FAT boot sector: the BIOS parameter block (little-endian fields) ----
constexpr int kOffsetBytesPerSector = 11;    // 16-bit
constexpr int kOffsetSectorsPerCluster = 13; // 8-bit
constexpr int kOffsetReservedSectors = 14;   // 16-bit, before the first FAT
constexpr int kOffsetNumberOfFats = 16;      // 8-bit
constexpr int kOffsetRootEntries = 17;       // 16-bit, 0 on FAT32
constexpr int kOffsetTotalSectors16 = 19;    // 16-bit, 0 when the 32-bit count holds it
constexpr int kOffsetSectorsPerFat16 = 22;   // 16-bit, FAT16 only
constexpr int kOffsetSectorsPerTrack = 24;   // 16-bit
constexpr int kOffsetHeads = 26;             // 16-bit
constexpr int kOffsetHiddenSectors = 28;     // 32-bit
constexpr int kOffsetTotalSectors32 = 32;    // 32-bit
constexpr int kOffsetDriveNumber16 = 36;     // 8-bit, FAT16 extended fields
constexpr int kOffsetBootCode16 = 62;        // after the FAT16 file-system type label

// FAT32 extended fields.
constexpr int kOffsetSectorsPerFat32 = 36;     // 32-bit
constexpr int kOffsetRootCluster = 44;         // 32-bit
constexpr int kOffsetFsInfoSector = 48;        // 16-bit
constexpr int kOffsetBackupBootSector = 50;    // 16-bit
constexpr int kOffsetDriveNumber32 = 64;       // 8-bit
constexpr int kOffsetBootCode32 = 90;          // after the file-system type label

// ---- FAT directory entries: 32 bytes each ----
constexpr int kDirEntrySize = 32;
constexpr int kDirName = 0;            // 11 bytes: 8 of name, 3 of extension, space padded
constexpr int kDirAttributes = 11;     // 8-bit
constexpr int kDirClusterHigh = 20;    // 16-bit, FAT32 only
constexpr int kDirClusterLow = 26;     // 16-bit
constexpr int kAttrVolumeLabel = 0x08, kAttrDirectory = 0x10, kAttrLongName = 0x0f;

constexpr int kOffsetSignature = 510;  // 0x55 0xaa, in boot sectors and MBRs alike

// ---- master boot record ----
// Four bytes of the boot code area that the drive number stamp writes: the
// BIOS drive number, then 0x29 0x04 0x04.
constexpr int kOffsetDriveStamp = 220;
constexpr int kOffsetDiskId = 440;          // 32-bit
constexpr int kOffsetPartitionTable = 446;
constexpr int kPartitionEntries = 4;
constexpr int kPartitionEntrySize = 16;
// Fields of a partition entry, from its start.
constexpr int kEntryStatus = 0;   // 0x80 bootable
constexpr int kEntryType = 4;
constexpr int kEntryStart = 8;    // 32-bit, first sector
constexpr int kEntrySectors = 12; // 32-bit, length in sectors

static_assert(kOffsetPartitionTable + kPartitionEntries * kPartitionEntrySize == kOffsetSignature,
              "the four entries end where the signature starts");

// A boot sector or an MBR ends in 0x55 0xaa.
inline bool hasBootSignature(const unsigned char *pSector)
{
    return pSector[kOffsetSignature] == 0x55 && pSector[kOffsetSignature + 1] == 0xaa;
}

// ---- little-endian fields ----
inline uint16_t getLe16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t getLe32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

#endif
