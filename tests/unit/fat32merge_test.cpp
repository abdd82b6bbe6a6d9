// The FAT32 merge on in-memory streams, for the sizes the binary cannot be
// driven to: lengths and pass starts per template size, short disk images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "dosprep.h"

namespace {

using Bytes = std::vector<int>;

FILE *streamOf(size_t n, int mul)  // byte i is i * mul, so sources differ
{
    FILE *fp = tmpfile();
    for (size_t i = 0; i < n; i++)
        fputc(static_cast<int>(i * mul) & 0xff, fp);
    rewind(fp);
    return fp;
}

struct Row {
    size_t disk, tmpl;
    int sectors;
    size_t backupAt, total;
};

TEST(Fat32Merge, LengthsAndBothPasses)
{
    const Row rows[] = {
        {6144, 3072, 6, 3072, 4608}, {6144, 1000, 6, 3071, 4071}, {6144, 90, 6, 3071, 3161},
        {6144, 89, 6, 3072, 3162},   {6144, 0, 6, 3072, 3073},    {6144, 3072, 4, 4096, 5632},
        {40, 3072, 6, 3072, 4608},
    };
    ucSectorsPerTrack = 63;
    for (const Row &r : rows) {
        FILE *fpDisk = streamOf(r.disk, 7), *fpTmpl = streamOf(r.tmpl, 13), *fpOut = tmpfile();
        setDosInfo(fpDisk, fpTmpl, fpOut, r.sectors, 0);
        Bytes out;
        rewind(fpOut);
        for (int c; (c = fgetc(fpOut)) != EOF;)
            out.push_back(c);
        fclose(fpDisk);
        fclose(fpTmpl);
        fclose(fpOut);
        SCOPED_TRACE(testing::Message() << "template " << r.tmpl << ", disk " << r.disk);
        ASSERT_EQ(out.size(), r.total);
        const size_t head = r.tmpl < 90 ? r.tmpl + 1 : 90;  // disk bytes per pass
        for (size_t at : {size_t(0), r.backupAt}) {
            // Both passes open with the disk's first bytes; past its end 0xFF.
            for (size_t k : {0, 23, 31, 45}) {
                if (k >= head)
                    continue;
                const int want = k < r.disk ? (k * 7) & 0xff : 0xff;
                EXPECT_EQ(out[at + k], want) << "pass at " << at << ", byte " << k;
            }
            if (head > 28) {
                EXPECT_EQ(out[at + 26], 0xff);
                EXPECT_EQ(out[at + 28], 63);
            }
            if (r.tmpl > 90) {
                EXPECT_EQ(out[at + 90], (90 * 13) & 0xff) << "pass at " << at;
            }
        }
        // The main area is completed with zeros up to the backup.
        const size_t first = r.tmpl < 90 ? r.tmpl + 1 : std::min(r.tmpl, size_t(r.sectors) * 512);
        for (size_t k = first; k < r.backupAt; k++)
            ASSERT_EQ(out[k], 0) << "fill at " << k;
    }
}

}  // namespace
