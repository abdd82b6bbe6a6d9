// The FAT32 merge on in-memory streams, for the sizes the binary cannot be
// driven to: lengths and pass starts per template size, short disk images.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "disklayout.h"
#include "dosprep.h"

namespace {

FILE *streamOf(size_t n, int mul)  // byte i is i * mul, so sources differ
{
    FILE *fp = tmpfile();
    for (size_t i = 0; i < n; i++)
        fputc(static_cast<int>(i * mul) & 0xff, fp);
    rewind(fp);
    return fp;
}

TEST(Fat32Merge, LengthsAndBothPasses)
{
    // disk image and template lengths, main area sectors; where the backup
    // starts, the length of the merge, its disk bytes per pass, where the zeros start
    const struct { size_t disk, tmpl; int sectors; size_t backupAt, total, head, zeros; } rows[] = {
        {6144, 90, 6, 3071, 3161, 90, 90}, {6144, 89, 6, 3072, 3162, 90, 90}, {6144, 0, 6, 3072, 3073, 1, 1},
        {6144, 3072, 4, 4096, 5632, 90, 2048}, {40, 3072, 6, 3072, 4608, 90, 3072},
    };
    ucSectorsPerTrack = 32;
    nIsATest = 0;
    for (const auto &r : rows) {
        FILE *fpDisk = streamOf(r.disk, 7), *fpTmpl = streamOf(r.tmpl, 13), *fpOut = tmpfile();
        setDosInfo(fpDisk, fpTmpl, fpOut, r.sectors, 0);
        std::vector<int> out;
        rewind(fpOut);
        for (int c; (c = fgetc(fpOut)) != EOF;)
            out.push_back(c);
        fclose(fpDisk), fclose(fpTmpl), fclose(fpOut);
        SCOPED_TRACE(testing::Message() << "template " << r.tmpl << ", disk " << r.disk);
        ASSERT_EQ(out.size(), r.total);
        // Both passes open with the same disk bytes (0xFF past the image's
        // end), patched; the main area is completed with zeros.
        for (size_t k = 0; k < r.head; k++) {
            const int patched[] = {32, 0, 0xff, 0, 32, 0};  // sectors per track to hidden sectors
            const size_t at = kOffsetSectorsPerTrack, drive = kOffsetDriveNumber32;
            const int raw = k < r.disk ? (k * 7) & 0xff : 0xff;
            ASSERT_EQ(out[k], k >= at && k < at + 6 ? patched[k - at] : k == drive ? 0x80 : raw) << "byte " << k;
            ASSERT_EQ(out[r.backupAt + k], out[k]) << "backup byte " << k;
        }
        for (size_t k = r.zeros; k < r.backupAt; k++)
            ASSERT_EQ(out[k], 0) << "fill at " << k;
    }
}

}  // namespace
