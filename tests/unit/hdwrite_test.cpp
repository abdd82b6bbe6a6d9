// What the --bytewrite words read as, seen through where the byte lands in a
// scratch file, and which character of a disk name counts the disks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "hdwrite.h"

namespace {

// The first 512 bytes of the file, its size, and its byte at `at`.
struct Seen {
    std::string head;
    long long size;
    int byte;
};

Seen look(const std::string &file, long long at)
{
    Seen seen{std::string(512, '\0'), -1, -1};
    FILE *fp = fopen(file.c_str(), "rb");
    if (fp == nullptr)
        return seen;
    seen.head.resize(fread(&seen.head[0], 1, seen.head.size(), fp));
    struct stat st {};
    seen.size = fstat(fileno(fp), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    if (at >= 0 && fseeko(fp, static_cast<off_t>(at), SEEK_SET) == 0)
        seen.byte = fgetc(fp);
    fclose(fp);
    return seen;
}

TEST(WriteByteToDevnode, WordsAndWhereTheByteLands)
{
    char dir[] = "/tmp/dosprep-hdwrite.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string base = std::string(dir) + "/";
    const std::string n95 = std::string(95 - base.size(), 'n');  // base + n95: 95 characters
    const struct {
        std::string node, file, offset, byte;
        int result;
        long long at;  // -1: nothing written
        int value;
    } rows[] = {
        {"node", "node", "0xa0", "0xff", 0, 0xa0, 0xff},
        {"node", "node", "0xA0", "0xFF", 0, 0xa0, 0xff},
        {"node", "node", "0x", "0x", 0, 0, 0x00},
        {"node", "node", "0x10", "0xfff", 0, 0x10, 0xff},     // third byte digit ignored
        {"node", "node", "0x3", "0xzz", 0, 3, 0x53},          // 35 << 4 in 8 bits, plus 35
        {"node", "node", "0xg", "0x1", 0, 16, 0x01},          // 'g' is a digit worth 16
        {"node", "node", "0x0000000a0", "0x7", 0, 0x0a, 7},   // ninth offset digit ignored
        {"node", "node", "0xg0000001", "0x7", 0, 1, 7},       // 16 << 28 wraps out of 32 bits
        {"node", "node", "0x1-5", "0x2 3", 0, 1, 0x02},       // reading stops below '0'
        {"node", "node", "0x:1", "0x@9", 0, 1, 0x09},         // ':' and '@' add 0 and go on
        {"node", "node", "0x1\xe9" "2", "0x\xe9" "1", 0, 1, 0x00},  // a byte of 0x80 up ends it
        {"node", "node", "1x1a", "xx7", 0, 0x1a, 7},          // the first character is not read
        {"node", "node", "0x120", "0x5", 0, 0x120, 0x05},     // past the end: the file grows
        {"node", "node", "0x80000000", "0x5a", 0, 0x80000000LL, 0x5a},  // carried unsigned
        {"node\x01tail", "node", "0x1", "0x41", 0, 1, 0x41},  // a control character ends the name
        {n95 + "xyz", n95 + "x", "0x2", "0x42", 0, 2, 0x42},    // the first 96 characters kept
        {"node", "node", "0X10", "0x1", -1, -1, 0},
        {"node", "node", "0x10", "0X1", -1, -1, 0},
        {"node", "node", "x", "0x1", -1, -1, 0},
        {"node", "node", "0x1", "", -1, -1, 0},
    };
    for (const auto &row : rows) {
        const std::string file = base + row.file, word = base + row.node;
        const std::string before(256, '\xee');
        std::ofstream(file, std::ios::binary | std::ios::trunc) << before;
        EXPECT_EQ(writeByteToDevnode(word.c_str(), row.offset.c_str(), row.byte.c_str()),
                  row.result) << row.offset << " " << row.byte;
        const Seen seen = look(file, row.at);
        const long long size = std::max(256LL, row.at + 1);
        std::string head = before;
        head.resize(static_cast<size_t>(std::min(512LL, size)), '\0');
        if (row.at >= 0 && row.at < 512)
            head[static_cast<size_t>(row.at)] = static_cast<char>(row.value);
        EXPECT_EQ(seen.head, head) << row.offset << " " << row.byte;
        EXPECT_EQ(seen.size, size) << row.offset;
        if (row.at >= 0) {
            EXPECT_EQ(seen.byte, row.value) << row.offset << " " << row.byte;
        }
    }
    // A relative node name is refused before anything is opened.
    EXPECT_EQ(writeByteToDevnode("node", "0x0", "0x41"), -1);
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
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

}  // namespace
