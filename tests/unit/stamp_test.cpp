// The boot node of --msdrivecount: the link target of the listing line and
// the forms of its name, for lines and names the sandbox cannot make.
#include <gtest/gtest.h>

#include <string>

#include "hdwrite.h"

TEST(Stamp, LinkTargetOfTheListingLine)
{
    const std::string s59 = "/dev/" + std::string(54, 'x'), s60 = s59 + "x";
    const struct { std::string line; bool kept; std::string target; } rows[] = {
        {"lrwxrwxrwx 1 root root 8 Jan 1 /dev/sssd -> /dev/sda\n", true, "/dev/sda"},
        {"l 1 /dev/sssd -> /dev/sdb\r\n", true, "/dev/sdb\r"},       // only the newline ends it
        {"l 1 /dev/sssd -> sda/x\n", true, "/x"},                   // the first '/' after the arrow
        {"-rw-r--r-- 1 root root 1 /dev/sssd\n", false, ""},        // no arrow
        {"l 1 /dev/sssd -> sda\n", false, ""},                      // no '/' after it
        {"l -> " + s59 + "\n", true, s59}, {"l -> " + s60 + "\n", false, s60},  // 59 fit, 60 do not
    };
    for (const auto &r : rows) {
        char line[254] = {}, node[64];
        r.line.copy(line, sizeof line - 1);
        EXPECT_EQ(getBootNodeOfLine(line, 254, node, 60), r.kept) << r.line;
        EXPECT_EQ(node, r.target) << r.line;
    }
}

TEST(Stamp, NodeNameForms)
{
    // name; place of the counting character, character 8, places + 1
    const struct { const char *name; int offset, c8, limit; } rows[] = {
        {"/dev/sd", 7, 0, 12}, {"/dev/sdd", 7, 0, 12}, {"/dev/sdad", 8, 'd', 12}, {"/dev/sdae", 7, 'e', 12},
        {"/dev/hdaa", 7, 'a', 3}, {"/dev/tov", 12, 0, 3}, {"/dev/klar", 14, 'r', 3}, {"/dev/kla", 0, 0, 3},
        {"/dev/sd\xe1\xe1", 7, -31, 12}, {"/dev", 0, 0, 3}, {"", 0, 0, 3},
    };
    for (const auto &r : rows) {
        const NodeForm tForm = getNodeForm(r.name);
        EXPECT_EQ(tForm.nOffset, r.offset) << r.name;
        EXPECT_EQ(tForm.nChar8, r.c8) << r.name;
        EXPECT_EQ(tForm.nNodeLimit, r.limit) << r.name;
    }
}
