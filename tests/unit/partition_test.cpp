// The description lookup rules and the cylinder sizing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "dataFind.h"
#include "dosprep.h"

TEST(CylinderBoundry, SizesToWholeCylinders)
{
    const struct { int h, s, c, mb; int32_t blocks; } rows[] = {
        {254, 63, 1000, 2000, 4096575}, {15, 32, 1000, 500, 1024000}, {255, 63, 8924, 100, 209664},
        {255, 63, 8924, 50, 112896}, {1, 16, 100, 1, 2048},
        {255, 63, 99, 2000, 204800}, {255, 15, 8924, 2000, 204800}, {0, 63, 8924, 2000, 204800},  // bad geometry
        {255, 63, 8924, 1048575, 4292902}, {255, 63, 8924, 2000000, 4292902}, {255, 63, 8924, 0, 4292902},  // no 32-bit count
    };
    for (const auto &r : rows)
        EXPECT_EQ(CylinderBoundry(r.h, r.s, r.c, r.mb), r.blocks) << r.h << "/" << r.s << "/" << r.c << " " << r.mb;
}

TEST(DataFind, KeyTagAndNumber)
{
    // A key that ends the text is not found; a false start is retried further on.
    const struct { const char *key, *text; int found; } searches[] = {
        {"<megab", "x<megab\n", 1}, {"<megab", "x<megab", 0}, {"<megab", "<megab", 0}, {"", "abc", 0}, {"aab", "aaab\n", 1}};
    for (const auto &r : searches)
        EXPECT_EQ(strSearch(r.key, r.text), r.found) << r.key << " in " << r.text;
    const struct { const char *line; bool ok; const char *value; } rows[] = {
        {"  <megabytesize>0100</megabytesize>", true, "0100"}, {"<megabytesize></megabytesize>", false, ""},
        {"<megabytesize unit>2000</megabytesize>", false, ""}, {"<a><megabytesize>2000</megabytesize>", false, ""},
        {"<megabytesize>2000", true, "2000"}, {"no tag here", false, ""}, {"<\xe9\xe9>77<", true, "77"},
    };
    for (const auto &r : rows) {
        char value[80] = "junk";
        EXPECT_EQ(getTagValue(r.line, value), r.ok) << r.line;
        EXPECT_STREQ(value, r.value) << r.line;
    }
    const struct { const char *text; int value; } numbers[] = {{"0100", 100}, {"2.5", 185}, {"-5", 2}, {"", 0}, {"4294967296", 0}};
    for (const auto &n : numbers)
        EXPECT_EQ(getDecimalValue(n.text), n.value) << n.text;
}

TEST(DataFind, FirstLineWithTheKey)
{
    const struct { std::string text; const char *found; } rows[] = {
        {"<x>\n\n<megabytesize>20</megabytesize>\r\n", "<megabytesize>20</megabytesize>"},
        {"<megab>1\n<megab>2\n", "<megab>1"}, {"<megab\n", "<megab"}, {"a\nzz<megab", ""},
        {std::string(76, 'x') + "<megab\n", ""},  // cut between two 79-character reads
    };
    for (const auto &r : rows) {
        char path[] = "/tmp/dosprep-find.XXXXXX", out[128] = "junk";
        FILE *fp = fdopen(mkstemp(path), "w");
        fputs(r.text.c_str(), fp);
        fclose(fp);
        DataFind2(path, "<megab", out);
        closeDataFind();
        remove(path);
        EXPECT_STREQ(out, r.found) << r.text;
    }
}
