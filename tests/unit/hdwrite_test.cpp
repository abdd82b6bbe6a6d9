// Single-byte writes and the drive-number stamp, on regular files in a
// scratch directory: where the byte lands, what the words read as, and
// which bytes of a sector change.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "dosprep.h"
#include "hdwrite.h"

namespace {

class HdWrite : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override
    {
        char tmpl[] = "/tmp/dosprep-hdwrite.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        nIsATest = 0;
        nDebugState = 0;
    }
    void TearDown() override
    {
        nIsATest = 0;
        std::system(("rm -rf '" + dir + "'").c_str());
    }
    std::string path(const std::string &name) const { return dir + "/" + name; }

    static void put(const std::string &file, const std::string &data)
    {
        std::ofstream(file, std::ios::binary) << data;
    }
    static std::string get(const std::string &file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static long long sizeOf(const std::string &file)
    {
        struct stat st {};
        return stat(file.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    }
};

// What the offset and byte words read as, seen through where the byte lands
// in a 256-byte file of 0xee.
TEST_F(HdWrite, WordsAndWhereTheByteLands)
{
    const struct {
        const char *offset;
        const char *byte;
        int result;
        long long at;  // -1: nothing written
        int value;
    } rows[] = {
        {"0xa0", "0xff", 0, 0xa0, 0xff},
        {"0xA0", "0xFF", 0, 0xa0, 0xff},       // capital digits read the same
        {"0x", "0x", 0, 0, 0x00},              // no digits at all
        {"0x10", "0xfff", 0, 0x10, 0xff},      // third byte digit ignored
        {"0x3", "0xzz", 0, 3, 0x53},           // 35 << 4 in 8 bits, plus 35
        {"0xg", "0x1", 0, 16, 0x01},           // 'g' is a digit worth 16
        {"0x0000000a0", "0x7", 0, 0x0a, 0x07}, // ninth offset digit ignored
        {"0xg0000001", "0x7", 0, 1, 0x07},     // 16 << 28 wraps out of 32 bits
        {"0x1-5", "0x2 3", 0, 1, 0x02},        // reading stops below '0'
        {"0x:1", "0x@9", 0, 1, 0x09},          // ':' and '@' add 0 and go on
        {"0x1\xe9" "2", "0x\xe9" "1", 0, 1, 0x00},  // a high byte ends reading
        {"1x1a", "xx7", 0, 0x1a, 0x07},        // the first character is not looked at
        {"0x100", "0x5", 0, 0x100, 0x05},      // at the end: the file grows
        {"0x120", "0x5", 0, 0x120, 0x05},      // past the end
        {"0X10", "0x1", -1, -1, 0},
        {"0x10", "0X1", -1, -1, 0},
        {"x", "0x1", -1, -1, 0},
        {"0x1", "", -1, -1, 0},
    };
    for (const auto &row : rows) {
        const std::string file = path("node");
        const std::string before(256, '\xee');
        put(file, before);
        EXPECT_EQ(writeByteToDevnode(file.c_str(), row.offset, row.byte), row.result)
            << row.offset << " " << row.byte;
        std::string expected = before;
        if (row.at >= 0) {
            if (row.at >= static_cast<long long>(expected.size()))
                expected.resize(static_cast<size_t>(row.at) + 1, '\0');
            expected[static_cast<size_t>(row.at)] = static_cast<char>(row.value);
        }
        EXPECT_EQ(get(file), expected) << row.offset << " " << row.byte;
    }
    fflush(stdout);
}

TEST_F(HdWrite, SyntaxErrorLinesAndRelativeNode)
{
    const std::string file = path("sdb");
    put(file, "abc");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(writeByteToDevnode("sdb", "0x0", "0x41"), -1);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " SYNTAX ERROR:         --bytewrite {devnode} {0xoffset} {0xbyte}  \n"
              "         example: dosprep  --bytewrite /dev/zero 0xa0 0xff \n");
    EXPECT_EQ(get(file), "abc");
    ASSERT_EQ(chdir("/"), 0);
}

// Offsets from 2^31 on are carried unsigned: the byte lands at the offset
// asked for (sparse files, so no space is used).
TEST_F(HdWrite, OffsetsAbove2GiB)
{
    const struct {
        const char *offset;
        long long at;
    } rows[] = {{"0x80000000", 0x80000000LL}, {"0xffffffff", 0xffffffffLL}};
    for (const auto &row : rows) {
        const std::string file = path("big");
        put(file, "");
        EXPECT_EQ(writeByteToDevnode(file.c_str(), row.offset, "0x5a"), 0);
        EXPECT_EQ(sizeOf(file), row.at + 1) << row.offset;
        FILE *fp = fopen(file.c_str(), "rb");
        ASSERT_NE(fp, nullptr);
        ASSERT_EQ(fseeko(fp, static_cast<off_t>(row.at), SEEK_SET), 0);
        EXPECT_EQ(fgetc(fp), 0x5a) << row.offset;
        fclose(fp);
        unlink(file.c_str());
    }
}

TEST_F(HdWrite, NodeNameCopy)
{
    // A control character cuts the name; so does the 96th character.
    put(path("cut"), "....");
    EXPECT_EQ(writeByteToDevnode((path("cut") + "\x01tail").c_str(), "0x1", "0x41"), 0);
    EXPECT_EQ(get(path("cut")), ".A..");

    const std::string prefix = path(std::string(96 - dir.size() - 1, 'n'));
    ASSERT_EQ(prefix.size(), 96u);
    put(prefix, "....");
    EXPECT_EQ(writeByteToDevnode((prefix + "longer").c_str(), "0x2", "0x42"), 0);
    EXPECT_EQ(get(prefix), "..B.");
    EXPECT_EQ(sizeOf(prefix + "longer"), -1);

    // A path that does not exist is created, holding the one byte.
    EXPECT_EQ(writeByteToDevnode(path("new").c_str(), "0x3", "0x43"), 0);
    EXPECT_EQ(get(path("new")), std::string("\0\0\0C", 4));
}

TEST_F(HdWrite, TestModeAndFailedOpen)
{
    const std::string file = path("node");
    put(file, "0123456789");
    nIsATest = 1;
    testing::internal::CaptureStdout();
    writeOneByteToPartition(file.c_str(), 0x1a2b, 0x1ff);
    fflush(stdout);
    const std::string out = testing::internal::GetCapturedStdout();
    char p1[32] = {}, p2[32] = {};
    EXPECT_EQ(sscanf(out.c_str(), "TESTMODE: \n     fseek( %31[0-9a-fx], 00001a2b, 0) \n"
                                  "     fputc( ff, %31[0-9a-fx]) \n", p1, p2), 2) << out;
    EXPECT_STREQ(p1, p2);  // both lines name the same stream
    EXPECT_EQ(get(file), "0123456789");

    nIsATest = 0;
    testing::internal::CaptureStdout();
    writeOneByteToPartition(path("no/such/dir").c_str(), 0, 0);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "You need to be user root to run this program!\n");
}

TEST(GetNodeOffset, NodeForms)
{
    const struct {
        const char *node;
        int offset;
    } rows[] = {
        {"/dev/sda", 7}, {"/dev/sdaa", 8}, {"/dev/sdzd", 8}, {"/dev/sdae", 7},
        {"/dev/sdp", 7}, {"/dev/sd", 7}, {"/dev/hda", 7}, {"/dev/hd", 7},
        {"/dev/tov/c0d0", 12}, {"/dev/klarn/c0d0", 14}, {"/dev/klar", 14},
        {"/dev/kla", 0}, {"/dev/to", 0}, {"/dev/vda", 0}, {"/dev/", 0}, {"", 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(getNodeOffset(row.node), row.offset) << row.node;
}

TEST_F(HdWrite, StampChangesOnlyBytes220To223)
{
    std::string disk(1024, '\0');
    for (size_t i = 0; i < disk.size(); i++)
        disk[i] = static_cast<char>(i * 7 + 3);
    const struct {
        int place;
        int test;
        const char *stamp;  // nullptr: unchanged
    } rows[] = {
        {1, 0, "\x81\x29\x04\x04"},
        {11, 0, "\x8b\x29\x04\x04"},
        {200, 0, "\x48\x29\x04\x04"},  // the place is taken modulo 256
        {2, 1, nullptr},               // test mode
    };
    char buffer[544] = {};
    for (const auto &row : rows) {
        const std::string file = path("sdb");
        put(file, disk);
        nIsATest = row.test;
        writeToDrive(file.c_str(), buffer, row.place);
        std::string expected = disk;
        if (row.stamp != nullptr)
            expected.replace(220, 4, row.stamp, 4);
        EXPECT_EQ(get(file), expected) << "place " << row.place;
    }

    // A disk shorter than one sector is left as it is; a missing one is skipped.
    nIsATest = 0;
    put(path("short"), disk.substr(0, 300));
    testing::internal::CaptureStderr();
    writeToDrive(path("short").c_str(), buffer, 1);
    writeToDrive(path("none").c_str(), buffer, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "writeToDrive: cannot read the first sector of " + path("short") +
                  "; not stamped\n");
    EXPECT_EQ(get(path("short")), disk.substr(0, 300));
    EXPECT_EQ(sizeOf(path("none")), -1);
}

}  // namespace
