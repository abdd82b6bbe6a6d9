// The block-reading hex listings and compare against fixed texts in expected/hexview.txt.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dosprep.h"

namespace {

// Fully buffered as main() has it, and never filled: by a return exactly what was flushed is out.
char acStdoutBuffer[1 << 22];
[[maybe_unused]] const int kFullyBuffered = setvbuf(stdout, acStdoutBuffer, _IOFBF, sizeof acStdoutBuffer);

// "SIZE[^POS[+STEP],POS...]": a file of SIZE bytes of every value (0xff every fifth), those at POS
// or at every STEP from POS inverted. Other names have no bytes: "/tmp" a directory, "none" no file.
std::string makeFile(const char *psSpec, int nIndex, std::string &v)
{
    const std::string sPath = "/tmp/dosprep-hv-" + std::to_string(getpid()) + "-" + std::to_string(nIndex);
    unlink(sPath.c_str());  // the last row removes what the others left
    char *psEnd = nullptr;
    v.resize(strtoull(psSpec, &psEnd, 10));
    if (psEnd == psSpec)
        return strcmp(psSpec, "none") == 0 ? sPath : psSpec;
    for (size_t k = 0; k < v.size(); k++)
        v[k] = static_cast<char>(k % 5 == 4 ? 0xff : k * 37 + 11);
    while (*psEnd == '^' || *psEnd == ',') {
        size_t k = strtoull(psEnd + 1, &psEnd, 10);
        for (const size_t nStep = *psEnd == '+' ? strtoull(psEnd + 1, &psEnd, 10) : v.size(); k < v.size(); k += nStep)
            v[k] = static_cast<char>(~v[k]);
    }
    FILE *fp = fopen(sPath.c_str(), "w");
    fwrite(v.data(), 1, v.size(), fp);
    fclose(fp);
    return sPath;
}

// RUN into one file as 2>&1, after a trace still buffered; "<return>" marks where it stood at the return.
template <class Run>
std::string capture(Run run)
{
    fflush(stdout);
    FILE *fpTmp = tmpfile();
    const int fd = fileno(fpTmp), afdSaved[2] = {dup(1), dup(2)};
    dup2(fd, 1), dup2(fd, 2);
    fputs("trace\n", stdout);
    const int nStatus = run();
    dprintf(fd, "<return>");
    fflush(stdout);
    dup2(afdSaved[0], 1), dup2(afdSaved[1], 2), close(afdSaved[0]), close(afdSaved[1]);
    std::string s(static_cast<size_t>(lseek(fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(pread(fd, &s[0], s.size(), 0), static_cast<ssize_t>(s.size()));
    fclose(fpTmp);
    return s + "\nstatus " + std::to_string(nStatus) + ", open " + std::to_string(nFilesOpen) + "\n";
}

// The expected texts: "=== ROW" opens each; a listing too long to keep whole is kept as its length
// and FNV-1a digest ("#LENGTH DIGEST").
std::map<std::string, std::string> expectedTexts()
{
    std::ifstream in(DOSPREP_UNIT_EXPECTED "/hexview.txt");
    std::map<std::string, std::string> m;
    std::string sLine, *ps = nullptr;
    while (std::getline(in, sLine))
        if (sLine.rfind("=== ", 0) == 0)
            ps = &m[sLine.substr(4)];
        else if (ps != nullptr)
            *ps += sLine + "\n";
    return m;
}
std::string digest(const std::string &s)
{
    unsigned long long h = 14695981039346656037ull;
    for (const char c : s)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char ac[48];
    snprintf(ac, sizeof ac, "#%zu %016llx\n", s.size(), h);
    return ac;
}

// OP FIRST SECOND OFFSET LENGTH: f showFile, s showSomeFile (p: FIRST in a pipe), b/B showBuffer/showCharBuffer,
// c compareFiles. The files' names read A and B in the texts.
const char *const kRows[] = {
    "f 0", "f 1", "f 15", "f 16", "f 17", "f 511", "f 512", "f 513", "f 135185", "f /tmp", "f none", "s 4196 - 0 64",
    "s 4196 - 1 20", "s 4196 - 3 64", "s 4196 - 3072 64", "s 4196 - 5 0", "s 4196 - 500 30", "s 4196 - 4000 1000",
    "s 4196 - 4196 64", "s 4196 - 4197 64", "s 4196 - 1073741824 16", "s 135185 - 70001 70000",
    "s 135185 - 0 1073741824", "s 1048616 - 1048568 64", "s /tmp - 0 64", "s /tmp - 5 64",
    "s none - 0 64" /* waits 2 s */, "p 70000 - 3 40", "p 70000 - 65537 40", "p 70000 - 70000 40",
    "p 70000 - 70001 40", "b 6000 - 0 0", "B 6000 - 0 0", "b 6000 - 0 1", "b 6000 - 8 16", "B 6000 - 8 16",
    "b 6000 - 192 32", "b 6000 - 3 600", "b 6000 - 500 5000", "B 6000 - 500 5000", "c 0 0", "c 1 1", "c 513 513",
    "c 135185 135185", "c 135185 135185^65535", "c 17 135185^17", "c 135185^17 17", "c 0 16", "c 16 0",
    "c 1048584 1048584^1048579", "c 135185 135185^5+16", "c /tmp 40", "c 40 /tmp", "c none 40",
    "c 65536 135185^0,7,8,65535,65536,131071,131072,135184", "c 135185^0,7,8,65535,65536,131071,131072,135184 65536",
    "c 135185 135185^0,7,8,65535,65536,131071,131072,135184", "c 40 none", "c none none",
};

}  // namespace

TEST(HexView, FixedTexts)
{
    const std::map<std::string, std::string> want = expectedTexts();
    for (const char *psRow : kRows) {
        char cOp = 0, ac[2][64] = {"", ""}, acBlock[128];
        int nOff = 0, nLen = 1 << 30, afd[2] = {-1, -1};  // showFile: from 0 to the end
        sscanf(psRow, "%c %63s %63s %d %d", &cOp, ac[0], ac[1], &nOff, &nLen);
        std::string d[2], asName[2] = {makeFile(ac[0], 1, d[0]), makeFile(ac[1], 2, d[1])};
        std::vector<int> anValues(d[0].begin(), d[0].end());  // showBuffer's: 0x80 up negative, odd ones above 0xff
        for (int &n : anValues) n |= (n & 1) << 9;
        if (cOp == 'p') {  // the bytes in a pipe, opened anew by name: no seeking
            ASSERT_TRUE(pipe(afd) == 0 && fcntl(afd[1], F_SETPIPE_SZ, 1 << 20) > 70000);
            ASSERT_EQ(write(afd[1], d[0].data(), 70000), 70000);
            close(afd[1]);
            asName[0] = "/proc/self/fd/" + std::to_string(afd[0]);
        }
        std::string sGot = capture([&] {
            if (cOp == 'b' || cOp == 'B')
                return cOp == 'b' ? showBuffer(anValues.data(), nOff, nLen)
                                  : showCharBuffer(reinterpret_cast<const unsigned char *>(d[0].data()), nOff, nLen), 0;
            if (cOp != 'c')
                return cOp == 'f' ? showFile(asName[0].c_str()) : showSomeFile(asName[0].c_str(), nOff, nLen), 0;
            return compareFiles(asName[0].c_str(), asName[1].c_str(), acBlock, 0);
        });
        for (int k : {0, 1})
            for (size_t at; asName[k] != ac[k] && (at = sGot.find(asName[k])) != std::string::npos;)
                sGot.replace(at, asName[k].size(), k == 0 ? "A" : "B");
        const auto it = want.find(psRow);
        ASSERT_NE(it, want.end()) << psRow;
        EXPECT_EQ(it->second[0] == '#' ? digest(sGot) : sGot, it->second) << psRow;
        close(afd[0]);
    }
}
