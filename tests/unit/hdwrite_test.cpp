// What the --bytewrite words read as, seen through where the byte lands in a
// scratch file of 16 'e'.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "hdwrite.h"

TEST(WriteByteToDevnode, WordsAndWhereTheByteLands)
{
    char dir[] = "/tmp/dosprep-hdwrite.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string base = std::string(dir) + "/", n95(95 - base.size(), 'n');
    const struct {
        std::string node, file, offset, byte;
        long long at;  // -1: a syntax error, nothing written
        int value;
    } rows[] = {
        {"f", "f", "0xa", "0xff", 0xa, 0xff},    {"f", "f", "0xA", "0xFF", 0xa, 0xff},
        {"f", "f", "0x", "0x", 0, 0},            {"f", "f", "0x1", "0xfff", 1, 0xff},
        {"f", "f", "0x3", "0xzz", 3, 0x53},      // 35 << 4 in 8 bits, plus 35
        {"f", "f", "0xg", "0x1", 16, 1},         // 'g' is a digit worth 16
        {"f", "f", "0x00000000a", "0x7", 0, 7},  // the ninth digit is ignored
        {"f", "f", "0xg0000001", "0x7", 1, 7},   // 16 << 28 wraps out of 32 bits
        {"f", "f", "0x1-5", "0x2 3", 1, 2},      // reading stops below '0'...
        {"f", "f", "0x:1", "0x@9", 1, 9},        // ...but ':' and '@' add 0 and go on
        {"f", "f", "0x1\xe9" "2", "0x\xe9" "1", 1, 0},  // a byte of 0x80 up stops it
        {"f", "f", "1x1", "xx7", 1, 7},          // the first character is not looked at
        {"f", "f", "0x80000000", "0x5a", 0x80000000LL, 0x5a},  // carried unsigned
        {"f\x01tail", "f", "0x1", "0x41", 1, 0x41},            // a control character ends it
        {n95 + "xyz", n95 + "x", "0x2", "0x42", 2, 0x42},      // 96 characters kept
        {"f", "f", "0X1", "0x1", -1, 0},         {"f", "f", "0x1", "0X1", -1, 0},
        {"f", "f", "x", "0x1", -1, 0},           {"f", "f", "0x1", "", -1, 0},
    };
    for (const auto &row : rows) {
        const std::string file = base + row.file, word = base + row.node;
        const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(write(fd, "eeeeeeeeeeeeeeee", 16), 16);
        EXPECT_EQ(writeByteToDevnode(word.c_str(), row.offset.c_str(), row.byte.c_str()),
                  row.at < 0 ? -1 : 0) << row.offset << " " << row.byte;
        struct stat st {};
        char head[17] = {}, at = 0;
        fstat(fd, &st);
        EXPECT_EQ(pread(fd, head, 16, 0), 16);
        EXPECT_EQ(row.at < 0 || pread(fd, &at, 1, row.at) == 1, true);
        if (row.at >= 0 && row.at < 16)
            head[row.at] = 'e';
        EXPECT_EQ(std::string(head), "eeeeeeeeeeeeeeee") << row.offset << " " << row.byte;
        EXPECT_EQ(st.st_size, std::max(16LL, row.at + 1)) << row.offset << " " << row.byte;
        EXPECT_EQ(static_cast<unsigned char>(at), row.at < 0 ? 0 : row.value) << row.offset;
        close(fd);
        unlink(file.c_str());
    }
    EXPECT_EQ(writeByteToDevnode("f", "0x0", "0x41"), -1);  // a relative node name
    rmdir(dir);
}
