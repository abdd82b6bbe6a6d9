// The FAT32 boot area merge on in-memory streams: lengths for every template
// size, where each pass starts, which bytes come from the disk and which from
// the template, and the parameter block patches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "dosprep.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Distinct patterns, so that every output byte tells where it came from.
Bytes pattern(size_t n, unsigned mul, unsigned add)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = static_cast<unsigned char>((i * mul + add) & 0xff);
    return b;
}

FILE *streamOf(const Bytes &b)
{
    FILE *fp = tmpfile();
    if (!b.empty())
        fwrite(b.data(), 1, b.size(), fp);
    rewind(fp);
    return fp;
}

Bytes contentsOf(FILE *fp)
{
    Bytes b;
    rewind(fp);
    for (int c; (c = fgetc(fp)) != EOF;)
        b.push_back(static_cast<unsigned char>(c));
    return b;
}

struct MergeCase {
    const char *name;
    size_t diskLen, tmplLen;
    int sectors;           // size of the main area asked for
    unsigned char spt;     // ucSectorsPerTrack
    int test, level;       // nIsATest, diagnostic level
    size_t backupAt;       // where the second pass starts
    size_t total;          // length of the merged file
};

const MergeCase kCases[] = {
    // name               disk  tmpl  sec spt test lvl backup total
    {"normal",            6144, 3072, 6, 32, 0, 0,  3072, 4608},
    {"long template",     6144, 8000, 6, 63, 0, 0,  3072, 4608},
    {"test mode lvl 15",  6144, 3072, 6, 63, 1, 15, 3072, 4608},
    {"test mode lvl 14",  6144, 3072, 6, 32, 1, 14, 3072, 4608},
    {"template 1000",     6144, 1000, 6, 32, 0, 0,  3071, 3071 + 1000},
    {"template 90",       6144, 90,   6, 32, 0, 0,  3071, 3071 + 90},
    {"template 89",       6144, 89,   6, 32, 0, 0,  3072, 3072 + 90},
    {"template 50",       6144, 50,   6, 32, 0, 0,  3072, 3072 + 51},
    {"empty template",    6144, 0,    6, 32, 0, 0,  3072, 3072 + 1},
    {"template 2000",     6144, 2000, 6, 32, 0, 0,  3071, 3071 + 1536},
    {"four sectors",      6144, 3072, 4, 32, 0, 0,  4096, 4096 + 1536},
    {"short disk image",  40,   3072, 6, 32, 0, 0,  3072, 4608},
    {"empty disk image",  0,    3072, 6, 63, 0, 0,  3072, 4608},
};

class Merge : public ::testing::TestWithParam<MergeCase> {
protected:
    void TearDown() override
    {
        nIsATest = 0;
        nDebugState = 0;
        ucSectorsPerTrack = 32;
    }
};

// What a disk byte at position k of a pass must become.
int expectedDiskByte(const MergeCase &c, const Bytes &disk, size_t k)
{
    const int raw = k < disk.size() ? disk[k] : 0xff;  // past the end: EOF
    switch (k) {
    case 24: case 28: return c.spt;
    case 25: case 27: case 29: return 0;
    case 26: return 255;
    case 64: return 0x80;
    default: break;
    }
    if (c.test > 0 && c.level >= 15 && k >= 48 && k <= 51) {
        static const int kMarker[] = {0xDA, 0x11, 0xA5, 0x00};
        return kMarker[k - 48];
    }
    return raw;
}

TEST_P(Merge, LayoutAndPatches)
{
    const MergeCase &c = GetParam();
    const Bytes disk = pattern(c.diskLen, 7, 3);
    const Bytes tmpl = pattern(c.tmplLen, 13, 1);
    nIsATest = c.test;
    nDebugState = c.level;
    ucSectorsPerTrack = c.spt;
    FILE *fpDisk = streamOf(disk);
    FILE *fpTmpl = streamOf(tmpl);
    FILE *fpOut = tmpfile();
    setDosInfo(fpDisk, fpTmpl, fpOut, c.sectors, c.level);
    const Bytes out = contentsOf(fpOut);
    fclose(fpDisk);
    fclose(fpTmpl);
    fclose(fpOut);

    ASSERT_EQ(out.size(), c.total);
    const size_t mainLen = c.tmplLen < 90 ? c.tmplLen + 1 : std::min(c.tmplLen, size_t(c.sectors) * 512);
    const size_t backupLen = c.total - c.backupAt;
    for (size_t pass = 0; pass < 2; pass++) {
        const size_t start = pass == 0 ? 0 : c.backupAt;
        const size_t len = pass == 0 ? mainLen : backupLen;
        for (size_t k = 0; k < len; k++) {
            const int want = k < 90 ? expectedDiskByte(c, disk, k) : tmpl[k];
            ASSERT_EQ(out[start + k], want) << "pass " << pass + 1 << " position " << k;
        }
    }
    for (size_t k = mainLen; k < c.backupAt; k++)
        ASSERT_EQ(out[k], 0) << "fill at " << k;
}

INSTANTIATE_TEST_SUITE_P(Templates, Merge, ::testing::ValuesIn(kCases),
                         [](const auto &info) {
                             std::string s = info.param.name;
                             for (char &ch : s)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return s;
                         });

// A pass reports one less than it wrote when it ran its sectors out, and the
// bytes written when the template ran out after the disk bytes.
TEST(CopyDosBootInfo, ReturnValue)
{
    const struct { size_t tmplLen; int sectors; int ret; } rows[] = {
        {3072, 6, 3071},
        {1000, 6, 1000},
        {1536, 3, 1535},
        {50, 6, 50},
    };
    for (const auto &r : rows) {
        FILE *fpDisk = streamOf(pattern(6144, 1, 0));
        FILE *fpTmpl = streamOf(pattern(r.tmplLen, 1, 0));
        FILE *fpOut = tmpfile();
        EXPECT_EQ(copyDosBootInfo(fpDisk, fpTmpl, fpOut, r.sectors, 0, 0), r.ret)
            << "template " << r.tmplLen;
        fclose(fpDisk);
        fclose(fpTmpl);
        fclose(fpOut);
    }
}

TEST(CloseFile, CountsOnlyRealStreams)
{
    nFilesOpen = 3;
    closeFile(nullptr);
    EXPECT_EQ(nFilesOpen, 3);
    close3Files(tmpfile(), nullptr, tmpfile());
    EXPECT_EQ(nFilesOpen, 1);
    close2Files(nullptr, tmpfile());
    EXPECT_EQ(nFilesOpen, 0);
}

}  // namespace
