// The block-reading hex listings and compare against a byte-at-a-time
// reference kept here (one fgetc per byte, one flush per listed byte): the
// text on stdout, what had reached it by the return, and stderr must match.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dosprep.h"

namespace {

// ---- the reference: one byte at a time ----
void refListByte(long long ii, int nValue)
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
void refShowFile(const char *psName)
{
    FILE *fp = fopen(psName, "r");
    if (fp == nullptr) {
        perror("Error Openning File ");
        return;
    }
    long long ii = 0;
    int nValue = 0;
    while (refRead(fp, &nValue))
        refListByte(ii++, nValue);
    printf("\n          %lld bytes were found in file\n", ii);
    fflush(stdout);
    fclose(fp);
}
void refShowSomeFile(const char *psName, int nOffset, int nLength)
{
    FILE *fp = fopen(psName, "r");
    if (fp == nullptr) {
        perror("Error Openning File ");
        return;
    }
    long long ii = 0;
    int nValue = 0;
    bool bLasts = true;
    for (; ii < nOffset && bLasts; ii++)
        bLasts = refRead(fp, &nValue);
    if (!bLasts)
        fputs("End of File error  \n", stdout);
    for (ii = nOffset; bLasts && ii < static_cast<long long>(nOffset) + nLength && refRead(fp, &nValue); ii++)
        refListByte(ii, nValue);
    fputs("\n ", stdout);
    fflush(stdout);
    fclose(fp);
}
void refShowBytes(const std::vector<int> &values, int nOffset, int nCount)
{
    fputs(" {DOSPREP-showBuffer] --\n", stdout);
    fflush(stdout);
    for (int ii = nOffset; ii < nOffset + nCount; ii++)
        refListByte(ii, values[static_cast<size_t>(ii)]);
    fputs("\n", stdout);
}
int refCompare(const char *psName1, const char *psName2)
{
    fputs("dosprep32:  Compare Function  \n", stdout);
    fflush(stdout);
    printf("  Byte offset     %s    %s \n", psName1, psName2);
    FILE *fp1 = fopen(psName1, "r");
    if (fp1 == nullptr)
        fprintf(stderr, " compareFiles: Error: open failed for %s : %m\n", psName1);
    FILE *fp2 = fopen(psName2, "r");
    if (fp2 == nullptr)
        fprintf(stderr, " compareFiles: Error: open failed for %s : %m\n", psName2);
    int nStatus = -1;
    if (fp1 != nullptr && fp2 != nullptr) {
        unsigned long ii = 0;
        unsigned long ulDiffs = 0;
        while (!feof(fp1) && !feof(fp2)) {
            const int c1 = fgetc(fp1);
            const int c2 = fgetc(fp2);
            if (ferror(fp1) || ferror(fp2)) {
                ii++;
                break;
            }
            if (!feof(fp1) && !feof(fp2) && c1 != c2) {
                ulDiffs++;
                printf("%04lx:   %02x        %02x \n", ii, c1, c2);
            }
            ii++;
        }
        if (ulDiffs != 0)
            printf("          %lu Bytes were different\n", ulDiffs);
        else
            printf("          The fisrt %lu bytes of the files compare as equal. \n", ii - 1);
        nStatus = ulDiffs != 0 ? 1 : 0;
    }
    if (fp1 != nullptr)
        fclose(fp1);
    if (fp2 != nullptr)
        fclose(fp2);
    return nStatus;
}

// ---- capture of fd 1 and fd 2 ----
std::string slurp(const char *psName)
{
    std::string s;
    FILE *fp = fopen(psName, "r");
    for (int c; fp != nullptr && (c = fgetc(fp)) != EOF;)
        s += static_cast<char>(c);
    if (fp != nullptr)
        fclose(fp);
    return s;
}
struct Captured {
    std::string sOut;          // stdout once flushed
    std::string sOutAtReturn;  // what had reached fd 1 when the routine returned
    std::string sErr;
};
// bMerged: stderr goes to the same file as stdout, as in a 2>&1 capture.
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
void expectSame(const Captured &mine, const Captured &ref, const std::string &sRow, bool bAtReturn = true)
{
    EXPECT_EQ(mine.sOut, ref.sOut) << sRow;
    EXPECT_EQ(mine.sErr, ref.sErr) << sRow;
    if (bAtReturn) {
        EXPECT_EQ(mine.sOutAtReturn, ref.sOutAtReturn) << sRow << " (flushed by the return)";
    }
}

// Bytes with every value, 0xff every fifth.
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
const size_t kSizes[] = {0, 1, 15, 16, 17, 511, 512, 513, kMulti};

}  // namespace

TEST(HexView, ShowFileMatchesByteAtATime)
{
    for (size_t nSize : kSizes) {
        const std::string sPath = makeFile("f" + std::to_string(nSize), pattern(nSize));
        expectSame(capture([&] { showFile(sPath.c_str()); }),
                   capture([&] { refShowFile(sPath.c_str()); }), "size " + std::to_string(nSize));
        unlink(sPath.c_str());
    }
    // a directory (reads fail) and a missing file
    for (const char *psPath : {"/tmp", "/tmp/dosprep-hv-missing"})
        expectSame(capture([&] { showFile(psPath); }), capture([&] { refShowFile(psPath); }), psPath);
}

TEST(HexView, ShowSomeFileMatchesByteAtATime)
{
    const size_t nSize = 4096 + 100;
    const std::string sPath = makeFile("some", pattern(nSize));
    const std::string sBig = makeFile("somebig", pattern(kMulti, 3));
    const std::string sMiB = makeFile("somemib", pattern((1 << 20) + 40, 5));
    const struct {
        const std::string &sFile;
        int nOffset;
        int nLength;
    } rows[] = {
        {sPath, 0, 64}, {sPath, 3, 64}, {sPath, 3072, 64}, {sPath, 5, 0}, {sPath, 500, 30},
        {sPath, 4000, 1000},          // ends with the file
        {sPath, 4196, 64},            // at the length: no message
        {sPath, 4197, 64},            // beyond it: "End of File error"
        {sPath, 1 << 30, 16},         // far beyond
        {sBig, 70001, 70000},         // across read blocks
        {sBig, 0, 1 << 30},
        {sMiB, (1 << 20) - 8, 64},    // six-digit labels
    };
    for (const auto &row : rows)
        expectSame(capture([&] { showSomeFile(row.sFile.c_str(), row.nOffset, row.nLength); }),
                   capture([&] { refShowSomeFile(row.sFile.c_str(), row.nOffset, row.nLength); }),
                   "offset " + std::to_string(row.nOffset) + " length " + std::to_string(row.nLength));
    for (int nOffset : {0, 5})
        expectSame(capture([&] { showSomeFile("/tmp", nOffset, 64); }),
                   capture([&] { refShowSomeFile("/tmp", nOffset, 64); }), "directory");
    unlink(sPath.c_str());
    unlink(sBig.c_str());
    unlink(sMiB.c_str());
}

// Listings, their messages on stdout and the open failures on stderr keep
// their order in one capture, after a trace that was still buffered.
TEST(HexView, ShowSomeFileMergedOrder)
{
    const std::string sPath = makeFile("merged", pattern(3100));
    const std::string sNone = sPath + "-none";
    const auto sequence = [&](void (*show)(const char *, int, int)) {
        return [&, show] {
            fputs("__trace__\n", stdout);
            show(sPath.c_str(), 3072, 64);
            show(sNone.c_str(), 0, 64);  // waits 2 s before its second try
            show(sPath.c_str(), 3101, 64);
            fputs("__trace__", stdout);
        };
    };
    expectSame(capture(sequence(showSomeFile), true), capture(sequence(refShowSomeFile), true), "merged");
    unlink(sPath.c_str());
}

// A pipe cannot be skipped by seeking: the bytes before the offset are read.
TEST(HexView, ShowSomeFileReadsThroughAPipe)
{
    const std::string sFifo = "/tmp/dosprep-hv-fifo-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(sFifo.c_str(), 0600), 0);
    const std::vector<unsigned char> v = pattern(70000);
    const auto feed = [&] {
        const pid_t pid = fork();
        if (pid == 0) {
            const int fdW = open(sFifo.c_str(), O_WRONLY);
            ssize_t nDone = 0;
            while (nDone >= 0 && static_cast<size_t>(nDone) < v.size())
                nDone += write(fdW, v.data() + nDone, v.size() - static_cast<size_t>(nDone));
            _exit(0);
        }
        return pid;
    };
    for (int nOffset : {3, 69999, 70000, 70001}) {
        pid_t pid = feed();
        const Captured mine = capture([&] { showSomeFile(sFifo.c_str(), nOffset, 40); });
        waitpid(pid, nullptr, 0);
        pid = feed();
        const Captured ref = capture([&] { refShowSomeFile(sFifo.c_str(), nOffset, 40); });
        waitpid(pid, nullptr, 0);
        expectSame(mine, ref, "pipe, offset " + std::to_string(nOffset));
    }
    unlink(sFifo.c_str());
}

TEST(HexView, BufferDumpsMatchByteAtATime)
{
    const std::vector<unsigned char> bytes = pattern(6000);
    std::vector<int> values(bytes.begin(), bytes.end());
    values[9] = -1;      // all bits set: ff
    values[10] = 0x1ab;  // only the low eight bits count: ab
    const std::vector<int> asInts(bytes.begin(), bytes.end());
    const struct {
        int nOffset;
        int nCount;
    } rows[] = {{0, 0}, {0, 1}, {8, 16}, {192, 32}, {3, 600}, {500, 5000}, {0, 6000}};
    for (const auto &row : rows) {
        const std::string sRow = "offset " + std::to_string(row.nOffset) + " count " + std::to_string(row.nCount);
        expectSame(capture([&] { showBuffer(values.data(), row.nOffset, row.nCount); }),
                   capture([&] { refShowBytes(values, row.nOffset, row.nCount); }), "int " + sRow);
        expectSame(capture([&] { showCharBuffer(bytes.data(), row.nOffset, row.nCount); }),
                   capture([&] { refShowBytes(asInts, row.nOffset, row.nCount); }), "char " + sRow);
    }
}

TEST(Compare, MatchesByteAtATime)
{
    const auto changed = [](std::vector<unsigned char> v, std::vector<size_t> at) {
        for (size_t k : at)
            v[k] ^= 0xff;  // 0xff bytes turn into 00
        return v;
    };
    const std::vector<unsigned char> base = pattern(kMulti);
    std::vector<size_t> every16;
    for (size_t k = 5; k < kMulti; k += 16)
        every16.push_back(k);
    const auto cut = [&](size_t n) { return std::vector<unsigned char>(base.begin(), base.begin() + static_cast<long>(n)); };
    const struct {
        const char *psRow;
        std::vector<unsigned char> first, second;
    } rows[] = {
        {"both empty", {}, {}},
        {"one byte each, equal", cut(1), cut(1)},
        {"equal, 513", cut(513), cut(513)},
        {"equal, several blocks", base, base},
        {"block edges", base, changed(base, {0, 7, 8, 65535, 65536, 131071, 131072, kMulti - 1})},
        {"shorter first", cut(65536), base},
        {"shorter second", changed(base, {65535}), cut(65536)},
        {"only beyond the common length", cut(17), changed(base, {17, 500})},
        {"empty against a file", {}, cut(16)},
        {"six-digit position", std::vector<unsigned char>((1 << 20) + 8),
         changed(std::vector<unsigned char>((1 << 20) + 8), {(1 << 20) + 3})},
        {"every 16th byte, text beyond one write", base, changed(base, every16)},
    };
    for (const auto &row : rows) {
        const std::string s1 = makeFile("c1", row.first);
        const std::string s2 = makeFile("c2", row.second);
        int nMine = 0;
        int nRef = 0;
        const int nOpenBefore = nFilesOpen;
        char acBlock[128];
        const Captured mine = capture([&] { nMine = compareFiles(s1.c_str(), s2.c_str(), acBlock, 0); });
        const Captured ref = capture([&] { nRef = refCompare(s1.c_str(), s2.c_str()); });
        expectSame(mine, ref, row.psRow, ref.sOut.size() < 1024);
        EXPECT_EQ(nMine, nRef) << row.psRow;
        EXPECT_EQ(nFilesOpen, nOpenBefore) << row.psRow;
        unlink(s1.c_str());
        unlink(s2.c_str());
    }
}

TEST(Compare, UnreadableSidesMatchByteAtATime)
{
    const std::string sFile = makeFile("u", pattern(40));
    const char *psNone = "/tmp/dosprep-hv-none";
    const std::pair<const char *, const char *> rows[] = {
        {psNone, sFile.c_str()}, {sFile.c_str(), psNone}, {psNone, psNone}, {"/tmp", sFile.c_str()}, {sFile.c_str(), "/tmp"},
    };
    for (const auto &row : rows) {
        char acBlock[128];
        int nMine = 0;
        const Captured mine = capture([&] { nMine = compareFiles(row.first, row.second, acBlock, 0); });
        int nRef = 0;
        const Captured ref = capture([&] { nRef = refCompare(row.first, row.second); });
        expectSame(mine, ref, std::string(row.first) + " " + row.second);
        EXPECT_EQ(nMine, nRef);
        EXPECT_EQ(nFilesOpen, 0);
    }
    unlink(sFile.c_str());
}
