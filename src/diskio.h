// dosprep: test mode, and the one way to each write that reaches a disk:
// the commands handed to the shell, the single byte written to a node and
// the sector written back to a disk. In test mode a write is shown, not made.
#ifndef DISKIO_H
#define DISKIO_H

#include <cstdint>
#include <cstdio>

/// True once --test was given: nothing is written to a disk.
bool isTestMode();

/// Hands a command that writes a disk to the shell; in test mode prints
/// pTestTrace instead, a printf format with one %s for the command. The
/// command's status is not examined.
void runWriteCommand(const char *pCommand, const char *pTestTrace);
/// Hands a command that only reads to the shell, in test mode too, where
/// pTestTrace is printed before it.
void runReadCommand(const char *pCommand, const char *pTestTrace);
/// The output of a command read through a pipe; nullptr when none opened.
FILE *openCommandOutput(const char *pCommand);
void closeCommandOutput(FILE *fpCommand);

/// Writes ucByteValue at lOffset of the node open in fpNode; in test mode
/// prints the seek and the write instead. A failed seek writes nothing.
void writeNodeByte(FILE *fpNode, uint32_t lOffset, unsigned char ucByteValue);
/// Writes nLength bytes over the start of the node open in fpNode; in test
/// mode nothing, without a line.
void writeNodeStart(FILE *fpNode, const unsigned char *pBytes, int nLength);

#endif
