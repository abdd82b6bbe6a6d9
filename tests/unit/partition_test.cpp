// The description lookup rules and the cylinder sizing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "dataFind.h"
#include "dosprep.h"

TEST(CylinderBoundry, SizesToWholeCylinders)
{
    struct { int h, s, c, mb; int32_t blocks; } rows[] = {
        {255, 63, 8924, 2000, 4096512},  // 16128 sectors a cylinder
        {254, 63, 1000, 2000, 4096575},
        {15, 32, 1000, 500, 1024000},    // already a whole number of cylinders
        {255, 63, 8924, 100, 209664},
        {255, 63, 8924, 50, 112896},     // small sizes are rounded the same way
        {255, 63, 99, 2000, 204800},     // bad geometry gives 100 MB
        {255, 15, 8924, 2000, 204800},
        {0, 63, 8924, 2000, 204800},
        {1, 16, 100, 1, 2048},           // smallest good geometry
        {0, 0, 0, 5, 204800},            // no disk
        {255, 63, 8924, 1048575, 4292902},  // rounds past 32 bits: default size
        {255, 63, 8924, 2000000, 4292902},
        {255, 63, 8924, 0, 4292902},
    };
    for (const auto &r : rows)
        EXPECT_EQ(CylinderBoundry(r.h, r.s, r.c, r.mb), r.blocks)
            << r.h << "/" << r.s << "/" << r.c << " " << r.mb << " MB";
}

TEST(DataFind, StrSearchSkipsTheLastStart)
{
    EXPECT_EQ(strSearch("<megab", "<megabytesize>2000"), 1);
    EXPECT_EQ(strSearch("<megab", "x<megab\n"), 1);
    EXPECT_EQ(strSearch("<megab", "x<megab"), 0);  // key ends the text
    EXPECT_EQ(strSearch("<megab", "<megab"), 0);
    EXPECT_EQ(strSearch("<megab", "<meg"), 0);
    EXPECT_EQ(strSearch("", "abc"), 0);
    EXPECT_EQ(strSearch("aab", "aaab\n"), 1);      // a false start is retried
}

TEST(DataFind, TagValueAndNumber)
{
    struct { const char *line; bool ok; const char *value; } rows[] = {
        {"<megabytesize>2000</megabytesize>", true, "2000"},
        {"  <megabytesize>0100</megabytesize>", true, "0100"},
        {"<megabytesize></megabytesize>", false, ""},
        {"<megabytesize unit>2000</megabytesize>", false, ""},
        {"<a><megabytesize>2000</megabytesize>", false, ""},
        {"<megabytesize>2000", true, "2000"},  // value runs to the line end
        {"<megabytesize>", false, ""},
        {"no tag here", false, ""},
        {"<\xe9\xe9>77<", true, "77"},          // high bytes are skipped
    };
    for (const auto &r : rows) {
        char value[80] = "junk";
        EXPECT_EQ(getTagValue(r.line, value), r.ok) << r.line;
        EXPECT_STREQ(value, r.value) << r.line;
    }
    EXPECT_EQ(getDecimalValue("2000"), 2000);
    EXPECT_EQ(getDecimalValue("0100"), 100);
    EXPECT_EQ(getDecimalValue("2.5"), 185);
    EXPECT_EQ(getDecimalValue("-5"), 2);
    EXPECT_EQ(getDecimalValue(""), 0);
    EXPECT_EQ(getDecimalValue("4294967296"), 0);  // wraps like 32-bit arithmetic
}

// Writes TEXT to a file and returns the line the lookup finds for KEY.
static std::string lookup(const char *text, const char *key)
{
    char path[] = "/tmp/dosprep-find.XXXXXX";
    const int fdTmp = mkstemp(path);
    FILE *fp = fdopen(fdTmp, "w");
    fputs(text, fp);
    fclose(fp);
    char out[128] = "junk";
    DataFind2(path, key, out);
    closeDataFind();
    remove(path);
    return out;
}

TEST(DataFind, FirstLineWithTheKey)
{
    const std::string longLine = std::string(76, 'x') + "<megab\n";  // key cut at 79
    struct { std::string text; const char *found; } rows[] = {
        {"<x>\n\n<megabytesize>2000</megabytesize>\n", "<megabytesize>2000</megabytesize>"},
        {"<megabytesize>2000</megabytesize>\r\n", "<megabytesize>2000</megabytesize>"},
        {"<megab>1\n<megab>2\n", "<megab>1"},
        {"a\n<megab", ""},
        {"a\nzz<megab", ""},
        {"<megab\n", "<megab"},
        {longLine, ""},
        {"", ""},
    };
    for (const auto &r : rows)
        EXPECT_EQ(lookup(r.text.c_str(), "<megab"), r.found) << r.text;
}

TEST(DataFind, MissingFileAndDoubleClose)
{
    testing::internal::CaptureStderr();
    char out[128] = "kept";
    DataFind2("/nonexistent/desc.xml", "<megab", out);
    closeDataFind();
    EXPECT_STREQ(out, "kept");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "loadFile: Error /nonexistent/desc.xml was not found. \n"
              " /nonexistent/desc.xml was not found. "
              "closeFile: Error The file was already closed. \n");
}
