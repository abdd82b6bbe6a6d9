// dosprep fuzzing: the "ls -al /dev/sssd" line of --msdrivecount and the
// form of the node name it gives. Input: the line, in a buffer of the size
// the stamp reads into (the rest cleared, as the stamp's buffer is).
#include "fuzz.h"
#include "hdwrite.h"

namespace {
constexpr int kLineLimit = 254;  // the sizes the stamp passes
constexpr int kNodeLimit = 60;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    char *psLine = static_cast<char *>(calloc(kLineLimit, 1));
    char *psNode = static_cast<char *>(malloc(kNodeLimit + 2));
    if (nSize > 0)
        memcpy(psLine, pData, nSize < kLineLimit - 1 ? nSize : kLineLimit - 1);

    const bool bKept = getBootNodeOfLine(psLine, kLineLimit, psNode, kNodeLimit);
    const size_t nNode = strlen(psNode);
    FUZZ_CHECK(nNode <= static_cast<size_t>(kNodeLimit));
    FUZZ_CHECK(nNode == 0 || psNode[0] == '/');
    FUZZ_CHECK(!bKept || nNode < static_cast<size_t>(kNodeLimit));

    // Whatever the name, the counting character is one of the known places
    // and the stamp tries 2 or 11 disks.
    const NodeForm tForm = getNodeForm(psNode);
    const int n = tForm.nOffset;
    FUZZ_CHECK(n == 0 || n == 7 || n == 8 || n == 12 || n == 14);
    FUZZ_CHECK(tForm.nNodeLimit == 3 || tForm.nNodeLimit == 12);
    FUZZ_CHECK(tForm.nChar8 >= -128 && tForm.nChar8 <= 127);

    free(psNode);
    free(psLine);
    return 0;
}
