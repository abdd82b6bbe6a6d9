// The block-reading hex listings and compare against a byte-at-a-time
// reference kept here (one fgetc per byte, one flush per listed byte): stdout,
// what of it had been written when the routine returned, and stderr match.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dosprep.h"

namespace {

// ---- the reference ----
void refByte(long long ii, int nValue)
{
    if (ii >= 1 && ii % 512 == 0)
        fputs("\n", stdout);
    if (ii % 16 == 0)
        printf("\n%04llx:", ii);
    printf(" %02x", nValue & 0xff);
    fflush(stdout);
}
bool refRead(FILE *fp, int *pnValue)
{
    *pnValue = fgetc(fp);
    return !(feof(fp) || ferror(fp));
}
// showSomeFile when bSome, else showFile (nOffset and nLength unused).
void refShow(const char *psName, bool bSome, int nOffset = 0, int nLength = 0)
{
    FILE *fp = fopen(psName, "r");
    if (fp == nullptr) {
        perror("Error Openning File ");
        return;
    }
    long long ii = 0;
    int nValue = 0;
    bool bLasts = true;
    for (; bSome && ii < nOffset && bLasts; ii++)
        bLasts = refRead(fp, &nValue);
    if (!bLasts)
        fputs("End of File error  \n", stdout);
    const long long llEnd = bSome ? static_cast<long long>(nOffset) + nLength : LLONG_MAX;
    for (ii = bSome ? nOffset : 0; bLasts && ii < llEnd && refRead(fp, &nValue); ii++)
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
    FILE *fp[2] = {fopen(psName1, "r"), nullptr};
    if (fp[0] == nullptr)
        fprintf(stderr, " compareFiles: Error: open failed for %s : %m\n", psName1);
    fp[1] = fopen(psName2, "r");
    if (fp[1] == nullptr)
        fprintf(stderr, " compareFiles: Error: open failed for %s : %m\n", psName2);
    int nStatus = -1;
    if (fp[0] != nullptr && fp[1] != nullptr) {
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
        nStatus = ulDiffs != 0 ? 1 : 0;
    }
    for (FILE *fpx : fp)
        if (fpx != nullptr)
            fclose(fpx);
    return nStatus;
}

// ---- capture of fd 1 and fd 2 ----
std::string slurp(const char *psName)
{
    std::string s;
    FILE *fp = fopen(psName, "r");
    for (int c; (c = fgetc(fp)) != EOF;)
        s += static_cast<char>(c);
    fclose(fp);
    return s;
}
struct Captured {
    std::string sOut, sOutAtReturn, sErr;
};
// bMerged: stderr into the same file as stdout, as in a 2>&1 capture.
Captured capture(const std::function<void()> &run, bool bMerged = false)
{
    char acOut[] = "/tmp/dosprep-hv-out.XXXXXX";
    char acErr[] = "/tmp/dosprep-hv-err.XXXXXX";
    const int fdOut = mkstemp(acOut);
    const int fdErr = mkstemp(acErr);
    fflush(stdout);
    const int fdSaved1 = dup(1);
    const int fdSaved2 = dup(2);
    dup2(fdOut, 1);
    dup2(bMerged ? fdOut : fdErr, 2);
    run();
    Captured got;
    got.sOutAtReturn = slurp(acOut);
    fflush(stdout);
    dup2(fdSaved1, 1);
    dup2(fdSaved2, 2);
    for (int fdx : {fdOut, fdErr, fdSaved1, fdSaved2})
        close(fdx);
    got.sOut = slurp(acOut);
    got.sErr = slurp(acErr);
    unlink(acOut);
    unlink(acErr);
    return got;
}
void expectSame(const Captured &mine, const Captured &ref, const std::string &sRow)
{
    EXPECT_EQ(mine.sOut, ref.sOut) << sRow;
    EXPECT_EQ(mine.sErr, ref.sErr) << sRow;
    // Past one stdio buffer the two write at different points; both flush
    // what they must.
    if (ref.sOut.size() < 1024) {
        EXPECT_EQ(mine.sOutAtReturn, ref.sOutAtReturn) << sRow << " (written by the return)";
    }
}

// Bytes of every value, 0xff every fifth.
std::vector<unsigned char> pattern(size_t nSize, unsigned nSeed = 11)
{
    std::vector<unsigned char> v(nSize);
    for (size_t k = 0; k < nSize; k++)
        v[k] = k % 5 == 4 ? 0xff : static_cast<unsigned char>(k * 37 + nSeed);
    return v;
}
std::string makeFile(const std::string &sName, const std::vector<unsigned char> &v)
{
    const std::string sPath = "/tmp/dosprep-hv-" + std::to_string(getpid()) + "-" + sName;
    FILE *fp = fopen(sPath.c_str(), "w");
    if (!v.empty())
        fwrite(v.data(), 1, v.size(), fp);
    fclose(fp);
    return sPath;
}

constexpr size_t kMulti = 2 * 65536 + 4096 + 17;  // several read blocks, a ragged end

}  // namespace

TEST(HexView, ShowFileMatchesByteAtATime)
{
    for (size_t nSize : {0, 1, 15, 16, 17, 511, 512, 513, static_cast<int>(kMulti)}) {
        const std::string sPath = makeFile("f", pattern(nSize));
        expectSame(capture([&] { showFile(sPath.c_str()); }),
                   capture([&] { refShow(sPath.c_str(), false); }), "size " + std::to_string(nSize));
        unlink(sPath.c_str());
    }
    for (const char *psPath : {"/tmp", "/tmp/dosprep-hv-missing"})  // reads fail; no file
        expectSame(capture([&] { showFile(psPath); }), capture([&] { refShow(psPath, false); }), psPath);
}

TEST(HexView, ShowSomeFileMatchesByteAtATime)
{
    const std::string sPath = makeFile("some", pattern(4096 + 100));
    const std::string sBig = makeFile("somebig", pattern(kMulti, 3));
    const std::string sMiB = makeFile("somemib", pattern((1 << 20) + 40, 5));
    const struct {
        const std::string &sFile;
        int nOffset;
        int nLength;
    } rows[] = {
        {sPath, 0, 64}, {sPath, 3, 64}, {sPath, 3072, 64}, {sPath, 5, 0}, {sPath, 500, 30},
        {sPath, 4000, 1000},                   // ends with the file
        {sPath, 4196, 64},                     // at the length: no message
        {sPath, 4197, 64}, {sPath, 1 << 30, 16},  // beyond it: "End of File error"
        {sBig, 70001, 70000}, {sBig, 0, 1 << 30},  // across read blocks
        {sMiB, (1 << 20) - 8, 64},             // six-digit labels
        {"/tmp", 0, 64}, {"/tmp", 5, 64},      // a directory: reads fail
    };
    for (const auto &r : rows)
        expectSame(capture([&] { showSomeFile(r.sFile.c_str(), r.nOffset, r.nLength); }),
                   capture([&] { refShow(r.sFile.c_str(), true, r.nOffset, r.nLength); }),
                   r.sFile + " from " + std::to_string(r.nOffset) + " for " + std::to_string(r.nLength));
    for (const std::string &s : {sPath, sBig, sMiB})
        unlink(s.c_str());
}

// The listings and their messages keep their order against stderr, after a
// trace that was still buffered.
TEST(HexView, ShowSomeFileMergedOrder)
{
    const std::string sPath = makeFile("merged", pattern(3100));
    const std::string sNone = sPath + "-none";
    const auto sequence = [&](const std::function<void(const char *, int, int)> &show) {
        return [&, show] {
            fputs("__trace__\n", stdout);
            show(sPath.c_str(), 3072, 64);
            show(sNone.c_str(), 0, 64);  // showSomeFile waits 2 s before its second try
            show(sPath.c_str(), 3101, 64);
            fputs("__trace__", stdout);
        };
    };
    expectSame(capture(sequence(showSomeFile), true),
               capture(sequence([](const char *ps, int n, int m) { refShow(ps, true, n, m); }), true),
               "merged");
    unlink(sPath.c_str());
}

// A pipe cannot be skipped by seeking: the bytes before the offset are read.
TEST(HexView, ShowSomeFileReadsThroughAPipe)
{
    const std::string sFifo = "/tmp/dosprep-hv-fifo-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(sFifo.c_str(), 0600), 0);
    const auto fed = [&](const std::function<void()> &run) {
        const pid_t pid = fork();
        if (pid == 0) {
            FILE *fp = fopen(sFifo.c_str(), "w");
            const std::vector<unsigned char> v = pattern(70000);
            fwrite(v.data(), 1, v.size(), fp);
            _exit(0);
        }
        const Captured got = capture(run);
        waitpid(pid, nullptr, 0);
        return got;
    };
    for (int nOffset : {3, 65537, 70000, 70001})
        expectSame(fed([&] { showSomeFile(sFifo.c_str(), nOffset, 40); }),
                   fed([&] { refShow(sFifo.c_str(), true, nOffset, 40); }), "pipe from " + std::to_string(nOffset));
    unlink(sFifo.c_str());
}

TEST(HexView, BufferDumpsMatchByteAtATime)
{
    const std::vector<unsigned char> bytes = pattern(6000);
    const std::vector<int> asInts(bytes.begin(), bytes.end());
    std::vector<int> values = asInts;
    values[9] = -1;      // all bits set: ff
    values[10] = 0x1ab;  // the low eight bits: ab
    for (const auto &r : {std::pair<int, int>{0, 0}, {0, 1}, {8, 16}, {192, 32}, {3, 600}, {500, 5000}}) {
        const std::string sRow = "from " + std::to_string(r.first) + " for " + std::to_string(r.second);
        expectSame(capture([&] { showBuffer(values.data(), r.first, r.second); }),
                   capture([&] { refShowBytes(values, r.first, r.second); }), "int " + sRow);
        expectSame(capture([&] { showCharBuffer(bytes.data(), r.first, r.second); }),
                   capture([&] { refShowBytes(asInts, r.first, r.second); }), "char " + sRow);
    }
}

// Each row both ways round.
TEST(Compare, MatchesByteAtATime)
{
    const auto changed = [](std::vector<unsigned char> v, size_t nFirst, size_t nStep = 0) {
        for (size_t k = nFirst; k < v.size(); k += nStep != 0 ? nStep : v.size())
            v[k] ^= 0xff;  // 0xff bytes turn into 00
        return v;
    };
    const std::vector<unsigned char> base = pattern(kMulti);
    const auto cut = [&](size_t n) { return std::vector<unsigned char>(base.begin(), base.begin() + static_cast<long>(n)); };
    std::vector<unsigned char> edges = base;
    for (size_t k : {0, 7, 8, 65535, 65536, 131071, 131072, static_cast<int>(kMulti) - 1})
        edges[k] ^= 0x5a;
    const std::vector<unsigned char> zeros((1 << 20) + 8);
    const char *psNone = "/tmp/dosprep-hv-none";
    const struct {
        const char *psRow;
        std::vector<unsigned char> first, second;
        const char *psFirst, *psSecond;  // instead of the made files
    } rows[] = {
        {"both empty", {}, {}, nullptr, nullptr},
        {"equal, 1", cut(1), cut(1), nullptr, nullptr},
        {"equal, 513", cut(513), cut(513), nullptr, nullptr},
        {"equal, several blocks", base, base, nullptr, nullptr},
        {"block edges", base, edges, nullptr, nullptr},
        {"last byte of a block only", base, changed(base, 65535), nullptr, nullptr},
        {"unequal lengths", cut(65536), edges, nullptr, nullptr},
        {"only beyond the common length", cut(17), changed(base, 17), nullptr, nullptr},
        {"empty against a file", {}, cut(16), nullptr, nullptr},
        {"six-digit position", zeros, changed(zeros, (1 << 20) + 3), nullptr, nullptr},
        {"every 16th byte", base, changed(base, 5, 16), nullptr, nullptr},
        {"a directory", {}, cut(40), "/tmp", nullptr},
        {"a missing file", {}, cut(40), psNone, nullptr},
        {"both missing", {}, {}, psNone, psNone},
    };
    for (const auto &r : rows) {
        const std::string s1 = makeFile("c1", r.first);
        const std::string s2 = makeFile("c2", r.second);
        const char *ps1 = r.psFirst != nullptr ? r.psFirst : s1.c_str();
        const char *ps2 = r.psSecond != nullptr ? r.psSecond : s2.c_str();
        for (const auto &names : {std::make_pair(ps1, ps2), std::make_pair(ps2, ps1)}) {
            int nMine = 0;
            int nRef = 0;
            char acBlock[128];
            const Captured mine = capture([&] { nMine = compareFiles(names.first, names.second, acBlock, 0); });
            const Captured ref = capture([&] { nRef = refCompare(names.first, names.second); });
            expectSame(mine, ref, std::string(r.psRow) + ": " + names.first + " " + names.second);
            EXPECT_EQ(nMine, nRef) << r.psRow;
            EXPECT_EQ(nFilesOpen, 0) << r.psRow;
        }
        unlink(s1.c_str());
        unlink(s2.c_str());
    }
}
