// dosprep: raw device writes: single bytes written in place to device nodes,
// and the BIOS drive numbers stamped into the disks after the boot disk.
#ifndef HDWRITE_H
#define HDWRITE_H

#include <cstdint>

constexpr int kNodeNameChars = 96;  // longest node name kept by --bytewrite

/// The words of --bytewrite read, pure: -1 when their form is wrong, else 0
/// with the node name (at most kNodeNameChars characters and two NULs, so
/// pNodeName9 holds kNodeNameChars + 2), the offset and the byte.
int getByteWriteValues(const char *pDevNode9, const char *pOffset9, const char *pByteValue9,
                       char *pNodeName9, uint32_t *plOffset9, unsigned char *pucByteValue9);
/// --bytewrite {devnode} {0xoffset} {0xbyte}: -1 on a syntax error, else 0.
int writeByteToDevnode(const char *pDevNode9, const char *pOffset9, const char *pByteValue9);
/// Writes the low 8 bits of ucByteValue8 at byte lOffset8 of the node, in place.
void writeOneByteToPartition(const char *psNode8, uint32_t lOffset8, int ucByteValue8);

/// --msdrivecount: stamps drive numbers when the controller type is 2 or above.
void stampDriveNumber();
void stampDriveNumberOK();
void getBootNode(char *psInput5, char *psOutput5, int nLengthIn5, int nLengthOut5);
/// The link target of an "ls -al" line, pure: psInput5 is a buffer of
/// nLengthIn5 bytes, psOutput5 receives at most nLengthOut5 characters and
/// two NULs. False when the line has no target or it does not fit.
bool getBootNodeOfLine(const char *psInput5, int nLengthIn5, char *psOutput5, int nLengthOut5);

/// What the name of the boot disk node says, pure: where the character that
/// counts the disks stands (0 for no known form), the signed character 8 the
/// traces show, and the places to stamp after the boot disk, plus one.
struct NodeForm {
    int nOffset;     // 0, 7 (/dev/hda, /dev/sda), 8 (/dev/sdaa), 12 (tov), 14 (klarn)
    int nChar8;      // character 8 of the name, -128..127; 0 past its end
    int nNodeLimit;  // 12 for sd disks, else 3
};
NodeForm getNodeForm(const char *psString6);
int getNodeOffset(const char *psString6);
void writeToDrive(const char *psNode4, char *psBuffer4, int cDrivePlace);

#endif
