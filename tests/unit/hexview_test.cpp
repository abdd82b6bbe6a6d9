// The block-reading hex listings and compare against fixed texts in expected/hexview.txt.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>
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

// The rows and their expected texts: "=== OP FIRST SECOND OFFSET LENGTH" opens each, with OP f showFile,
// s showSomeFile (p: FIRST in a pipe), b/B showBuffer/showCharBuffer, c compareFiles; the files' names read
// A and B ("s none" waits 2 s). A text too long to keep whole is kept as its length and FNV-1a digest ("#LENGTH DIGEST").
std::vector<std::pair<std::string, std::string>> rows()
{
    std::ifstream in(DOSPREP_UNIT_EXPECTED "/hexview.txt");
    std::vector<std::pair<std::string, std::string>> v;
    for (std::string sLine; std::getline(in, sLine);)
        if (sLine.rfind("=== ", 0) == 0)
            v.emplace_back(sLine.substr(4), "");
        else if (!v.empty())
            v.back().second += sLine + "\n";
    return v;
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

}  // namespace

TEST(HexView, FixedTexts)
{
    const auto want = rows();
    ASSERT_EQ(want.size(), 59u);
    for (const auto &[sRow, sWant] : want) {
        const char *psRow = sRow.c_str();
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
        EXPECT_EQ(sWant[0] == '#' ? digest(sGot) : sGot, sWant) << psRow;
        close(afd[0]);
    }
}
