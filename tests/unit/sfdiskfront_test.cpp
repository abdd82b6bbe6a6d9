// The sfdisk front end's decisions: which sfdisk is current, the words a
// current one gets, whether a whole table comes on stdin, and the header.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sfdiskfront.h"

static const char kCurrent[] = "sfdisk from util-linux 2.38.1\n";

static SfdiskCall plan(const std::string &line, const char *pVersion = kCurrent, int *pnStatus = nullptr)
{
    static std::vector<std::string> words;  // what the call points into, until the next
    std::vector<const char *> args;
    std::istringstream in(line);
    words.assign(std::istream_iterator<std::string>(in), {});
    for (const auto &w : words)
        args.push_back(w.c_str());
    SfdiskCall tCall;
    const int nStatus = planSfdiskCall(static_cast<int>(args.size()), args.data(), pVersion, &tCall);
    if (pnStatus)
        *pnStatus = nStatus;
    return tCall;
}

TEST(SfdiskFront, OldOrCurrent)
{
    const struct { const char *version; bool current; } rows[] = {
        {"sfdisk from util-linux 2.25.2\n", false}, {"sfdisk (util-linux-ng 2.17.2)\n", false},
        {"sfdisk version 3.07\n", false}, {"", false}, {"util-linux2.38", false}, {"util-linux 2.", false},
        {"sfdisk from util-linux 2.26\n", true}, {kCurrent, true}, {"sfdisk from util-linux 2.40\n", true},
        {"util-linux-ng 2.26", true}, {"util-linux 3.0", true}, {"util-linux 1.99", false},
        {"util-linux util-linux 2.39", true},                            // the first that reads
        {"util-linux 99999999999999999999.1", true}, {"util-linux 2.2600", true},
    };
    for (const auto &r : rows)
        EXPECT_EQ(plan("--force -S 63 /dev/sda", r.version).bCurrent, r.current) << r.version;
}

TEST(SfdiskFront, WordsAndWholeTable)
{
    // command line; words for a current sfdisk; whole table; the disk; own label
    const struct { const char *line, *words; bool whole; const char *disk; bool label; } rows[] = {
        {"--force -S 63 /dev/sssd", "--force /dev/sssd", true, "/dev/sssd", false},
        {"-C 1024 -H 255 -S 63 /dev/sda", "/dev/sda", true, "/dev/sda", false},
        {"-C1024 -H255 -S63 -f /dev/sda", "-f /dev/sda", true, "/dev/sda", false},
        {"--cylinders 9 --heads=255 --sectors 63 /dev/sda", "/dev/sda", true, "/dev/sda", false},
        {"/dev/sda -S", "/dev/sda", true, "/dev/sda", false},                 // no value left to drop
        {"--wipe always -S 63 /dev/sda", "--wipe always /dev/sda", true, "/dev/sda", false},
        {"-O /dev/sdb /dev/sda", "-O /dev/sdb /dev/sda", true, "/dev/sda", false},  // a value, not a disk
        {"-uS /dev/sda", "-uS /dev/sda", true, "/dev/sda", false},
        {"--force -- /dev/sda", "--force -- /dev/sda", true, "/dev/sda", false},
        {"-- -S 63", "-- -S 63", false, nullptr, false},                      // after --, disks
        {"/dev/sda /dev/sdb", "/dev/sda /dev/sdb", false, nullptr, false},
        {"--force -S 63", "--force", false, nullptr, false},
        {"--dump /dev/sda", "--dump /dev/sda", false, "/dev/sda", false},
        {"-l -S 63 /dev/sda", "-l /dev/sda", false, "/dev/sda", false},
        {"--list", "--list", false, nullptr, false},
        {"-N 2 /dev/sda", "-N 2 /dev/sda", false, nullptr, false},
        {"--part-type /dev/sda 1 c", "--part-type /dev/sda 1 c", false, nullptr, false},
        {"--append=yes /dev/sda", "--append=yes /dev/sda", false, "/dev/sda", false},
        {"-v", "-v", false, nullptr, false},
        {"-X gpt /dev/sda", "-X gpt /dev/sda", true, "/dev/sda", true},
        {"-Xdos /dev/sda", "-Xdos /dev/sda", true, "/dev/sda", true},
        {"--label=dos -S 63 /dev/sda", "--label=dos /dev/sda", true, "/dev/sda", true},
        {"--label-nested dos /dev/sda", "--label-nested dos /dev/sda", true, "/dev/sda", false},
    };
    for (const auto &r : rows) {
        const SfdiskCall tCall = plan(r.line);
        std::string words;
        for (int k = 0; k < tCall.nWords; ++k)
            words += (k ? " " : "") + std::string(tCall.ppWords[k]);
        EXPECT_EQ(words, r.words) << r.line;
        EXPECT_EQ(tCall.bWholeTable, r.whole) << r.line;
        EXPECT_STREQ(tCall.pDisk, r.disk) << r.line;
        EXPECT_EQ(tCall.bOwnLabel, r.label) << r.line;
    }
    std::string many;
    for (int k = 0; k <= kSfdiskWordLimit; ++k)
        many += " /dev/sda";
    int nStatus = 0;
    plan(many, kCurrent, &nStatus);
    EXPECT_EQ(nStatus, -1);
    plan(many, "util-linux 2.25", &nStatus);  // an old sfdisk gets them as they are
    EXPECT_EQ(nStatus, 0);
}

TEST(SfdiskFront, HeaderInFrontOfTheTable)
{
    const std::string dump = "# partition table of /dev/sssd\nunit: sectors\n\n/dev/sssd1 : start= 63, Id= c\n";
    // table; own label on the command line; MBR; header
    const struct { std::string table; bool own, mbr; const char *header; } rows[] = {
        {dump, false, true, "label: dos\nlabel-id: 0x0b0075ec\n"},
        {dump, false, false, "label: dos\n"},
        {dump, true, true, ""},
        {"label: gpt\n" + dump, false, true, ""},
        {" \tlabel : dos\n" + dump, false, true, ""},
        {dump + "label: gpt", false, true, ""},                       // last line, no line end
        {"label-id: 0x12345678\n" + dump, false, true, "label: dos\n"},
        {"#label: gpt\n" + dump, false, true, "label: dos\nlabel-id: 0x0b0075ec\n"},
        {"label: x, start=1\n" + dump, false, true, "label: dos\nlabel-id: 0x0b0075ec\n"},  // a partition
        {"labels: gpt\nlabel-idx: 1\n", false, true, "label: dos\nlabel-id: 0x0b0075ec\n"},
        {"", false, true, "label: dos\nlabel-id: 0x0b0075ec\n"},
    };
    for (const auto &r : rows) {
        char header[kSfdiskHeaderBytes];
        const int n = sfdiskTableHeader(r.table.data(), r.table.size(), r.own, r.mbr, 0x0b0075ec, header);
        EXPECT_STREQ(header, r.header) << r.table;
        EXPECT_EQ(n, static_cast<int>(strlen(r.header))) << r.table;
    }
    // Only the bytes given count: a label line past them is not the table's.
    const std::string cut = dump + "label: gpt\n";
    char header[kSfdiskHeaderBytes];
    sfdiskTableHeader(cut.data(), dump.size(), false, false, 0, header);
    EXPECT_STREQ(header, "label: dos\n");
}
