// dosprep fuzzing: the drive-number stamp (--msdrivecount) after the
// controller check: the line "ls -al /dev/sssd" yields is the fuzzer's (the
// jailed popen runs nothing), and so are the following disks, jailed files
// of whole, short or missing first sectors. Held: the boot node read from
// the line and its counting position, and on every disk nothing but bytes
// 220 to 223 of a whole first sector changing, never in test mode; no file
// is created. Input: flags, the disk contents seed, then the listing line.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dosprep.h"
#include "hdwrite.h"
#include "jail.h"
#include "oracle.h"

namespace {

// The target of the link in the first line (at most 253 characters): after
// the first '>', from the first '/', up to the line end; too long or
// missing gives the empty name.
std::string expectedBootNode(const uint8_t *pLine, size_t nLine)
{
    char pBuffer[254] = {};
    size_t n = 0;
    while (n < nLine && n < 253) {
        pBuffer[n] = static_cast<char>(pLine[n]);
        if (pLine[n++] == '\n')
            break;
    }
    size_t i = 0;
    while (i < 254 && pBuffer[i] != '>')
        i++;
    while (i < 254 && pBuffer[i] != '/')
        i++;
    size_t k = 0;
    while (k < 60 && i + k < 254 && pBuffer[i + k] != '\n' && pBuffer[i + k] != '\0')
        k++;
    if (i >= 254 || k >= 60)
        return std::string();
    return std::string(pBuffer + i, k);
}

int expectedOffset(const std::string &s)
{
    auto at = [&s](size_t n) { return n < s.size() ? s[n] : '\0'; };
    if (at(5) == 't' && at(6) == 'o' && at(7) == 'v')
        return 12;
    if (at(5) == 'k' && at(6) == 'l' && at(7) == 'a' && at(8) == 'r')
        return 14;
    if (at(5) == 'h' && at(6) == 'd')
        return 7;
    if (at(5) == 's' && at(6) == 'd')
        return at(8) >= 'a' && at(8) <= 'd' ? 8 : 7;
    return 0;
}

struct Disk {
    std::string sName;
    std::vector<uint8_t> vBefore;
    int nPlace;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 2)
        return 0;
    const bool bTest = (pData[0] & 1) != 0;
    const uint8_t ucSeed = pData[1];
    const uint8_t *pLine = pData + 2;
    const size_t nLine = nSize - 2;

    const std::string sBoot = expectedBootNode(pLine, nLine);
    const int nOffset = sBoot.empty() ? 0 : expectedOffset(sBoot);
    FUZZ_CHECK(sBoot.empty() || getNodeOffset(sBoot.c_str()) == nOffset, "offset of %s",
               sBoot.c_str());

    // The disks that would be stamped, each made whole, short or left out.
    jailReset();
    jailSetPipe(pLine, nLine);
    std::vector<Disk> vDisks;
    std::vector<std::string> vMissing;
    const bool bCounts = nOffset > 0 && nOffset < static_cast<int>(sBoot.size());
    if (bCounts) {
        const int nLimit = sBoot[5] == 's' && sBoot[6] == 'd' ? 12 : 3;
        std::string sName = sBoot;
        for (int j = 1; j < nLimit; j++) {
            sName[static_cast<size_t>(nOffset)] = static_cast<char>(sName[static_cast<size_t>(nOffset)] + 1);
            const int nKind = (ucSeed + j) % 4;  // 0 none, 1 short, 2-3 whole
            if (jailRealPath(sName.c_str()) == nullptr || sName.find('\0') != std::string::npos)
                continue;
            if (nKind == 0) {
                vMissing.push_back(sName);
                continue;
            }
            Disk disk{sName, std::vector<uint8_t>(nKind == 1 ? 300 : 1536), j};
            for (size_t b = 0; b < disk.vBefore.size(); b++)
                disk.vBefore[b] = static_cast<uint8_t>(b * 7 + j + ucSeed);
            if (jailPut(sName.c_str(), disk.vBefore.data(), disk.vBefore.size()))
                vDisks.push_back(disk);
        }
    }
    nIsATest = bTest ? 1 : 0;
    nDebugState = 0;
    stampDriveNumberOK();

    static uint8_t pAfter[2048];
    for (const std::string &sName : vMissing) {
        struct stat st;
        FUZZ_CHECK(stat(jailRealPath(sName.c_str()), &st) != 0 || !S_ISREG(st.st_mode),
                   "%s was created", sName.c_str());
    }
    for (const Disk &disk : vDisks) {
        const long nNow = jailGet(disk.sName.c_str(), pAfter, sizeof pAfter);
        FUZZ_CHECK(nNow == static_cast<long>(disk.vBefore.size()), "%s: %ld bytes now",
                   disk.sName.c_str(), nNow);
        const bool bStamped = !bTest && disk.vBefore.size() >= 512;
        for (size_t b = 0; b < disk.vBefore.size(); b++) {
            int nWant = disk.vBefore[b];
            if (bStamped && b == 220)
                nWant = (0x80 + disk.nPlace) & 0xff;
            if (bStamped && b == 221)
                nWant = 0x29;
            if (bStamped && (b == 222 || b == 223))
                nWant = 0x04;
            FUZZ_CHECK(pAfter[b] == nWant, "%s byte %zu is %02x, expected %02x", disk.sName.c_str(),
                       b, pAfter[b], nWant);
        }
    }
    return 0;
}
