// dosprep fuzzing: what the targets share. A property that fails is told on
// standard error and traps, so libFuzzer keeps the input as a crash; the
// parsers under test print nothing, so the message stands alone.
#ifndef DOSPREP_FUZZ_H
#define DOSPREP_FUZZ_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            fprintf(stderr, "fuzz check failed at %s:%d: %s\n", __FILE__, __LINE__, #cond); \
            __builtin_trap();                                                              \
        }                                                                                  \
    } while (0)

// A heap copy of nSize bytes and a NUL, exactly that large, so that a read
// past the text's end is a sanitizer report. Free it with free().
inline char *textOf(const uint8_t *pData, size_t nSize)
{
    char *ps = static_cast<char *>(malloc(nSize + 1));
    if (ps == nullptr)
        abort();
    if (nSize > 0)
        memcpy(ps, pData, nSize);
    ps[nSize] = '\0';
    return ps;
}

#endif
