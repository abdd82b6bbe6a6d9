// dosprep fuzzing: the check that a harness's expectation holds. A failed
// check prints its message on the descriptor that was standard error at
// start-up (tools/fuzz-all closes the real ones, the code under test prints
// a lot) and traps, so libFuzzer keeps the input as a crash.
#ifndef DOSPREP_FUZZ_ORACLE_H
#define DOSPREP_FUZZ_ORACLE_H

#include <unistd.h>

#include <cstdio>

inline int &oracleFd()
{
    static int nFd = dup(2);
    return nFd;
}

#define FUZZ_CHECK(cond, ...)                                                   \
    do {                                                                        \
        if (!(cond)) {                                                          \
            dprintf(oracleFd(), "fuzz check failed at %s:%d: %s: ", __FILE__,   \
                    __LINE__, #cond);                                           \
            dprintf(oracleFd(), __VA_ARGS__);                                   \
            dprintf(oracleFd(), "\n");                                          \
            __builtin_trap();                                                   \
        }                                                                       \
    } while (0)

// Every target opens the oracle's descriptor before libFuzzer closes the
// standard ones. Each target is one source file including this header.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    (void)oracleFd();
    return 0;
}

#endif
