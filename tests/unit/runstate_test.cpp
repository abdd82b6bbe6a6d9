// The character rule behind --debugX and the --bytewrite operands.
#include <gtest/gtest.h>

#include "dosprep.h"

TEST(DpAtoI, CharacterValues)
{
    const struct {
        int c;
        int value;
    } rows[] = {
        {'0', 0}, {'9', 9}, {'A', 10}, {'a', 10}, {'x', 33}, {'Z', 35}, {'z', 35},
        {0, 0}, {' ', 0}, {'/', 0}, {':', 0}, {'@', 0}, {'[', 0}, {'`', 0}, {'{', 0},
        {0xe9, 0}, {0x80, 0}, {0xff, 0},
        {0x130, 0},   // only the low byte counts: 0x30 would be '0' anyway
        {0x141, 10},  // low byte 'A'
    };
    for (const auto &row : rows)
        EXPECT_EQ(dpAtoI(row.c), row.value) << "character " << row.c;
}
