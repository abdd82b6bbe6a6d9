// dosprep: raw device writes: single bytes written in place to device nodes,
// and the BIOS drive numbers stamped into the disks after the boot disk.
#ifndef HDWRITE_H
#define HDWRITE_H

#include <cstdint>

/// --bytewrite {devnode} {0xoffset} {0xbyte}: -1 on a syntax error, else 0.
int writeByteToDevnode(const char *pDevNode9, const char *pOffset9, const char *pByteValue9);
/// Writes the low 8 bits of ucByteValue8 at byte lOffset8 of the node, in place.
void writeOneByteToPartition(const char *psNode8, uint32_t lOffset8, int ucByteValue8);

/// --msdrivecount: stamps drive numbers when the controller type is 2 or above.
void stampDriveNumber();
void stampDriveNumberOK();
void getBootNode(char *psInput5, char *psOutput5, int nLengthIn5, int nLengthOut5);
int getNodeOffset(const char *psString6);
void writeToDrive(const char *psNode4, char *psBuffer4, int cDrivePlace);

#endif
