// dosprep: what the sfdisk front end (compat/sfdisk.cpp) hands to the next
// sfdisk, decided by pure functions of the command line, the --version text
// of that sfdisk and the table on standard input.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kSfdiskWordLimit = 256;   // words of a command line it translates
constexpr size_t kSfdiskHeaderBytes = 48;  // the lines put in front of a table

/// The call the front end makes.
struct SfdiskCall {
    bool bCurrent;      // util-linux 2.26 or later: the words are translated
    bool bWholeTable;   // a whole new table for the one disk pDisk on stdin
    bool bOwnLabel;     // the command names the label type (-X, --label)
    const char *pDisk;  // the one disk named, else nullptr
    int nWords;         // the words for a current sfdisk, in ppWords
    const char *ppWords[kSfdiskWordLimit];
};

/// True when the --version text names util-linux (or util-linux-ng) 2.26 or
/// later, an sfdisk that refuses -C, -H and -S.
bool isCurrentSfdisk(const char *pVersion);

/// Decides the call for the arguments ppArgs[0..nArgs) (argv without its
/// program name), pure. For a current sfdisk ppWords gets them without
/// -C/-H/-S in every spelling; for an old one only bCurrent is set, since
/// it gets the command unchanged. -1 when a current sfdisk's command has
/// more than kSfdiskWordLimit words, else 0.
int planSfdiskCall(int nArgs, const char *const *ppArgs, const char *pVersion, SfdiskCall *pCall);

/// The lines put in front of a whole table for a current sfdisk, pure:
/// "label: dos" unless the table (a "label:" header line) or the command
/// names the label type, then "label-id: 0x" and the disk identifier when
/// the disk has an MBR and the table carries no "label-id:" line. Writes a
/// C string to pOut (kSfdiskHeaderBytes) and returns its length.
int sfdiskTableHeader(const char *pTable, size_t nTable, bool bOwnLabel, bool bMbr, uint32_t nDiskId,
                      char *pOut);
