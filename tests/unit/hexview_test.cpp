// The block-reading hex listings and compare against a byte-at-a-time
// reference kept here (one fgetc per byte, one flush per listed byte): the
// merged 2>&1 output, what of it was written by the return, and the status.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "dosprep.h"

namespace {

void refByte(long long ii, int nValue)
{
    if (ii >= 1 && ii % 512 == 0)
        fputs("\n", stdout);
    if (ii % 16 == 0)
        printf("\n%04llx:", ii);
    printf(" %02x", nValue & 0xff);
    fflush(stdout);
}
// showSomeFile when bSome, else showFile.
void refShow(const char *psName, bool bSome, int nOffset, int nLength)
{
    FILE *fp = fopen(psName, "r");
    if (fp == nullptr)
        return perror("Error Openning File ");
    long long ii = 0;
    bool bLasts = true;
    for (; bSome && ii < nOffset && bLasts; ii++)
        bLasts = fgetc(fp) != EOF;
    if (!bLasts)
        fputs("End of File error  \n", stdout);
    const long long llEnd = bSome ? static_cast<long long>(nOffset) + nLength : LLONG_MAX;
    int nValue = 0;
    for (ii = bSome ? nOffset : 0; bLasts && ii < llEnd && (nValue = fgetc(fp)) != EOF; ii++)
        refByte(ii, nValue);
    if (bSome)
        fputs("\n ", stdout);
    else
        printf("\n          %lld bytes were found in file\n", ii);
    fflush(stdout);
    fclose(fp);
}
void refShowBytes(const std::vector<int> &values, int nOffset, int nCount)
{
    fputs(" {DOSPREP-showBuffer] --\n", stdout);
    fflush(stdout);
    for (int ii = nOffset; ii < nOffset + nCount; ii++)
        refByte(ii, values[static_cast<size_t>(ii)]);
    fputs("\n", stdout);
}
int refCompare(const char *psName1, const char *psName2)
{
    fputs("dosprep32:  Compare Function  \n", stdout);
    fflush(stdout);
    printf("  Byte offset     %s    %s \n", psName1, psName2);
    const char *apsName[2] = {psName1, psName2};
    FILE *fp[2] = {nullptr, nullptr};
    for (int k : {0, 1})
        if ((fp[k] = fopen(apsName[k], "r")) == nullptr)
            fprintf(stderr, " compareFiles: Error: open failed for %s : %m\n", apsName[k]);
    if (fp[0] == nullptr || fp[1] == nullptr) {
        for (FILE *fpx : fp)
            if (fpx != nullptr)
                fclose(fpx);
        return -1;
    }
    unsigned long ii = 0;
    unsigned long ulDiffs = 0;
    for (int c1, c2; !feof(fp[0]) && !feof(fp[1]); ii++) {
        c1 = fgetc(fp[0]);
        c2 = fgetc(fp[1]);
        if (ferror(fp[0]) || ferror(fp[1])) {
            ii++;
            break;
        }
        if (!feof(fp[0]) && !feof(fp[1]) && c1 != c2 && ++ulDiffs)
            printf("%04lx:   %02x        %02x \n", ii, c1, c2);
    }
    if (ulDiffs != 0)
        printf("          %lu Bytes were different\n", ulDiffs);
    else
        printf("          The fisrt %lu bytes of the files compare as equal. \n", ii - 1);
    fclose(fp[0]);
    fclose(fp[1]);
    return ulDiffs != 0 ? 1 : 0;
}

// Bytes of every value, 0xff every fifth.
std::vector<unsigned char> pattern(size_t nSize)
{
    std::vector<unsigned char> v(nSize);
    for (size_t k = 0; k < nSize; k++)
        v[k] = k % 5 == 4 ? 0xff : static_cast<unsigned char>(k * 37 + 11);
    return v;
}
// "SIZE[^POS[+STEP],POS...]": SIZE pattern bytes, those at POS (-1: the last)
// or at every STEP from POS inverted. "/tmp": a directory; "none": no file.
std::string makeFile(const std::string &sSpec, int nIndex)
{
    const std::string sPath = "/tmp/dosprep-hv-" + std::to_string(getpid()) + "-" + std::to_string(nIndex);
    if (sSpec == "/tmp" || sSpec == "none")
        return sSpec == "/tmp" ? sSpec : sPath + "-none";
    char *psEnd = nullptr;
    std::vector<unsigned char> v = pattern(strtoull(sSpec.c_str(), &psEnd, 10));
    while (*psEnd == '^' || *psEnd == ',') {
        const long long llPos = strtoll(psEnd + 1, &psEnd, 10);
        const size_t nStep = *psEnd == '+' ? strtoull(psEnd + 1, &psEnd, 10) : v.size();
        for (size_t k = llPos < 0 ? v.size() - 1 : static_cast<size_t>(llPos); k < v.size(); k += nStep)
            v[k] ^= 0xff;  // 0xff bytes turn into 00
    }
    FILE *fp = fopen(sPath.c_str(), "w");
    fwrite(v.data(), 1, v.size(), fp);
    fclose(fp);
    return sPath;
}
std::string contents(int fd)
{
    std::string s;
    char ac[65536];
    for (ssize_t n; (n = pread(fd, ac, sizeof ac, static_cast<off_t>(s.size()))) > 0;)
        s.append(ac, static_cast<size_t>(n));
    return s;
}
struct Capture {
    std::string sAll, sAtReturn;
    int nStatus;
};
// RUN with stdout and stderr into one file, as 2>&1, after a trace that is
// still buffered.
Capture capture(const std::function<int()> &run)
{
    FILE *fpTmp = tmpfile();
    const int fd = fileno(fpTmp);
    const int afdSaved[2] = {dup(1), dup(2)};
    fflush(stdout);
    dup2(fd, 1);
    dup2(fd, 2);
    fputs("__trace__\n", stdout);
    Capture got;
    got.nStatus = run();
    got.sAtReturn = contents(fd);
    fflush(stdout);
    for (int k : {0, 1}) {
        dup2(afdSaved[k], k + 1);
        close(afdSaved[k]);
    }
    got.sAll = contents(fd);
    fclose(fpTmp);
    return got;
}

struct Row {
    char cOp;  // f showFile, s showSomeFile, p the same on 70000 bytes in a pipe,
               // b showBuffer and showCharBuffer, c compareFiles both ways round
    const char *psFirst;
    const char *psSecond = "";
    int nOffset = 0;
    int nLength = 0;
};
const Row kRows[] = {
    {'f', "0"}, {'f', "1"}, {'f', "15"}, {'f', "16"}, {'f', "17"}, {'f', "511"}, {'f', "512"}, {'f', "513"},
    {'f', "135185"},  // several read blocks, a ragged end
    {'f', "/tmp"}, {'f', "none"},
    {'s', "4196", "", 0, 64}, {'s', "4196", "", 3, 64}, {'s', "4196", "", 3072, 64}, {'s', "4196", "", 5, 0},
    {'s', "4196", "", 500, 30}, {'s', "4196", "", 4000, 1000},  // ends with the file
    {'s', "4196", "", 4196, 64},                                // at the length: no message
    {'s', "4196", "", 4197, 64}, {'s', "4196", "", 1 << 30, 16},  // beyond it
    {'s', "135185", "", 70001, 70000}, {'s', "135185", "", 0, 1 << 30},
    {'s', "1048616", "", (1 << 20) - 8, 64},  // six-digit labels
    {'s', "/tmp", "", 0, 64}, {'s', "/tmp", "", 5, 64},
    {'s', "none", "", 0, 64},  // waits 2 s before its second try
    {'p', "", "", 3, 40}, {'p', "", "", 65537, 40}, {'p', "", "", 70000, 40}, {'p', "", "", 70001, 40},
    {'b', "", "", 0, 0}, {'b', "", "", 0, 1}, {'b', "", "", 8, 16}, {'b', "", "", 192, 32},
    {'b', "", "", 3, 600}, {'b', "", "", 500, 5000},
    {'c', "0", "0"}, {'c', "1", "1"}, {'c', "513", "513"}, {'c', "135185", "135185"},
    {'c', "135185", "135185^0,7,8,65535,65536,131071,131072,-1"},  // block edges
    {'c', "135185", "135185^65535"},                               // the last of a block only
    {'c', "65536", "135185^0,7,8,65535,65536,131071,131072,-1"},   // unequal lengths
    {'c', "17", "135185^17"},                                      // only beyond the common length
    {'c', "0", "16"}, {'c', "1048584", "1048584^1048579"},         // a six-digit position
    {'c', "135185", "135185^5+16"}, {'c', "/tmp", "40"}, {'c', "none", "40"}, {'c', "none", "none"},
};

int act(const Row &r, bool bRef, int nVariant, const char *ps1, const char *ps2)
{
    const std::vector<unsigned char> bytes = pattern(6000);
    std::vector<int> values(bytes.begin(), bytes.end());
    values[9] = -1;       // all bits set: ff, as the byte
    values[10] |= 0x100;  // only the low eight bits are listed
    char acBlock[128];
    if (r.cOp == 'f')
        return bRef ? refShow(ps1, false, 0, 0) : showFile(ps1), 0;
    if (r.cOp == 's' || r.cOp == 'p')
        return bRef ? refShow(ps1, true, r.nOffset, r.nLength) : showSomeFile(ps1, r.nOffset, r.nLength), 0;
    if (r.cOp == 'b')
        return bRef ? refShowBytes(values, r.nOffset, r.nLength)
               : nVariant == 0 ? showBuffer(values.data(), r.nOffset, r.nLength)
                               : showCharBuffer(bytes.data(), r.nOffset, r.nLength), 0;
    if (nVariant == 1)
        std::swap(ps1, ps2);
    return bRef ? refCompare(ps1, ps2) : compareFiles(ps1, ps2, acBlock, 0);
}

}  // namespace

TEST(HexView, MatchesByteAtATime)
{
    for (const Row &r : kRows) {
        SCOPED_TRACE(std::string(1, r.cOp) + " " + r.psFirst + " " + r.psSecond + " from " +
                     std::to_string(r.nOffset) + " for " + std::to_string(r.nLength));
        const std::string s1 = makeFile(r.psFirst, 1);
        const std::string s2 = makeFile(r.psSecond, 2);
        for (int nVariant = 0; nVariant < (r.cOp == 'b' || r.cOp == 'c' ? 2 : 1); nVariant++) {
            Capture got[2];
            for (bool bRef : {false, true}) {
                int afd[2] = {-1, -1};  // a pipe, opened anew by name: no seeking
                std::string sName = s1;
                if (r.cOp == 'p') {
                    const std::vector<unsigned char> v = pattern(70000);
                    ASSERT_EQ(pipe(afd), 0);
                    ASSERT_GT(fcntl(afd[1], F_SETPIPE_SZ, 1 << 20), 70000);
                    ASSERT_EQ(write(afd[1], v.data(), v.size()), 70000);
                    close(afd[1]);
                    sName = "/proc/self/fd/" + std::to_string(afd[0]);
                }
                got[bRef] = capture([&] { return act(r, bRef, nVariant, sName.c_str(), s2.c_str()); });
                close(afd[0]);
            }
            SCOPED_TRACE("variant " + std::to_string(nVariant));
            EXPECT_EQ(got[0].sAll, got[1].sAll);
            EXPECT_EQ(got[0].nStatus, got[1].nStatus);
            EXPECT_EQ(nFilesOpen, 0);
            if (got[1].sAll.size() < 1024) {  // past one stdio buffer the two write at different points
                EXPECT_EQ(got[0].sAtReturn, got[1].sAtReturn) << "(written by the return)";
            }
        }
        unlink(s1.c_str());
        unlink(s2.c_str());
    }
}
