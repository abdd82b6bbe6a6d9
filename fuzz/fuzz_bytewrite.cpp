// dosprep fuzzing: the --bytewrite words and the in-place write, in the
// jail: the node is a jailed file, present (64 bytes) or not. Held: the
// syntax test, the node name cut, the hexadecimal readings, the byte landing
// at its offset in place (nothing else changed, nothing truncated) and
// nothing written in test mode. Input: flags, then the three words
// separated by NUL bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dosprep.h"
#include "hdwrite.h"
#include "jail.h"
#include "oracle.h"

namespace {
uint8_t pAfter[128];
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const bool bTest = (pData[0] & 1) != 0;
    const bool bWantExists = (pData[0] & 2) != 0;
    std::string pWords[3];
    size_t nWord = 0;
    for (size_t i = 1; i < nSize && nWord < 3; i++) {
        if (pData[i] == 0)
            nWord++;
        else
            pWords[nWord] += static_cast<char>(pData[i]);
    }
    // Each word in an allocation of its own, so that a read past its end is seen.
    char *psNode = strdup(pWords[0].c_str());
    char *psOffset = strdup(pWords[1].c_str());
    char *psByte = strdup(pWords[2].c_str());

    // What the words mean.
    const bool bSyntax = psNode[0] == '/' && pWords[1].size() >= 2 && psOffset[1] == 'x' &&
                         pWords[2].size() >= 2 && psByte[1] == 'x';
    std::string sNode;
    for (size_t i = 0; i < 96 && i < pWords[0].size() && static_cast<signed char>(psNode[i]) >= ' '; i++)
        sNode += psNode[i];
    uint32_t uOffset = 0;
    for (size_t i = 2; i < 10 && i < pWords[1].size() && static_cast<signed char>(psOffset[i]) >= '0'; i++)
        uOffset = (uOffset << 4) + static_cast<uint32_t>(dpAtoI(psOffset[i]));
    uint8_t ucByte = 0;
    for (size_t i = 2; i < 4 && i < pWords[2].size() && static_cast<signed char>(psByte[i]) >= '0'; i++)
        ucByte = static_cast<uint8_t>((ucByte << 4) + dpAtoI(psByte[i]));
    // Offsets past 16 MiB are left alone: the check reads the byte back.
    const bool bNear = uOffset < (1u << 24);

    // The node's directory exists when it is / or /dev: then a missing node
    // is created. Names of other forms are tried but not checked.
    jailReset();
    jailMkdir("/dev");
    const size_t nSlash = sNode.rfind('/');
    const std::string sDir = sNode.substr(0, nSlash);
    const std::string sLeaf = sNode.substr(nSlash + 1);
    const bool bChecked = bSyntax && bNear && jailRealPath(sNode.c_str()) != nullptr &&
                          (sDir.empty() || sDir == "/dev") && !sLeaf.empty() && sLeaf != "." &&
                          sNode != "/dev";
    uint8_t pBefore[64];
    memset(pBefore, 0xee, sizeof pBefore);
    const bool bExists = bChecked && bWantExists && jailPut(sNode.c_str(), pBefore, sizeof pBefore);
    nIsATest = bTest ? 1 : 0;
    nDebugState = 0;
    if (!bSyntax || bNear) {
        const int nResult = writeByteToDevnode(psNode, psOffset, psByte);
        FUZZ_CHECK(nResult == (bSyntax ? 0 : -1), "result %d", nResult);
    }

    if (bChecked) {
        FILE *fp = fopen(jailRealPath(sNode.c_str()), "r");
        FUZZ_CHECK(fp != nullptr, "node %s neither written nor created", sNode.c_str());
        fseek(fp, 0, SEEK_END);
        const long nLength = ftell(fp);
        const long nOld = bExists ? 64 : 0;
        const long nWantLength = bTest || static_cast<long>(uOffset) < nOld ? nOld : static_cast<long>(uOffset) + 1;
        FUZZ_CHECK(nLength == nWantLength, "node %s is %ld bytes, expected %ld", sNode.c_str(),
                   nLength, nWantLength);
        rewind(fp);
        const size_t nHead = fread(pAfter, 1, 64, fp);
        for (size_t i = 0; i < nHead; i++) {
            const int nWant = !bTest && i == uOffset ? ucByte : (bExists ? 0xee : 0);
            FUZZ_CHECK(pAfter[i] == nWant, "byte %zu is %02x, expected %02x", i, pAfter[i], nWant);
        }
        if (!bTest && uOffset >= 64) {
            fseek(fp, static_cast<long>(uOffset), SEEK_SET);
            FUZZ_CHECK(fgetc(fp) == ucByte, "byte at %u not written", uOffset);
        }
        fclose(fp);
    }
    free(psNode);
    free(psOffset);
    free(psByte);
    return 0;
}
