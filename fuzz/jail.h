// dosprep fuzzing: the jail. The code under test of every fuzz target is
// linked with its calls that reach files, devices and programs renamed to
// jail_<call> (fuzz/jail.syms): they are served inside a private directory
// tree instead of this machine's, system() and popen() run nothing,
// HDIO_GETGEO answers with a geometry the harness chose, and exit() returns
// to the harness. libFuzzer and the harnesses keep the real calls.
#ifndef DOSPREP_FUZZ_JAIL_H
#define DOSPREP_FUZZ_JAIL_H

#include <cstddef>
#include <cstdint>

// Empties the tree and forgets the commands seen; the geometry request fails
// and popen() yields nothing until told otherwise.
void jailReset();
// Writes DATA as the file PATH of the jailed tree (parents created).
bool jailPut(const char *psPath, const void *pData, size_t nSize);
// Makes PATH a directory of the jailed tree.
bool jailMkdir(const char *psPath);
// Reads the jailed file PATH into BUF (at most nMax bytes); -1 when missing.
long jailGet(const char *psPath, void *pBuf, size_t nMax);
// The real path behind a jailed path (for stat and the like), or nullptr.
const char *jailRealPath(const char *psPath);

// What the next popen() reads.
void jailSetPipe(const void *pData, size_t nSize);
// The geometry HDIO_GETGEO reports; bOk false makes the request fail.
void jailSetGeometry(bool bOk, unsigned char ucHeads, unsigned char ucSectors,
                     unsigned short usCylinders);
// The commands given to system() since the last reset.
int jailSystemCount();
const char *jailLastSystem();

// exit() of the code under test returns to the innermost jailCatchExit; it returns -1
// when the call came back without exiting, else the status given.
int jailCatchExit(void (*pfnCall)(void *), void *pArg);

#endif
