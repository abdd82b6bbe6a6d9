// dosprep: the decisions of the sfdisk front end, pure: old or current
// sfdisk from its --version text, the words a current one gets, whether a
// whole table comes on stdin, and the header lines put in front of it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "sfdiskfront.h"

// util-linux 2.26 made sfdisk anew: from then on it refuses -C, -H and -S.
constexpr long kCurrentMajor = 2, kCurrentMinor = 26;
constexpr int kVersionDigits = 6;  // more digits than this read as 999999

// Options whose value is a word of their own, and options that do anything
// but write a whole new table (listings, one partition's fields, appends).
static const char *const kValueOptions[] = {
    "-X", "--label", "-Y", "--label-nested", "-u", "--unit", "-w", "--wipe",
    "-W", "--wipe-partitions", "-O", "--backup-file", "--sector-size",
};
static const char *const kNotTableOptions[] = {
    "-l", "--list", "-F", "--list-free", "-d", "--dump", "-J", "--json", "-s", "--show-size",
    "-g", "--show-geometry", "-G", "--show-pt-geometry", "-V", "--verify", "-v", "--version",
    "-h", "--help", "-T", "--list-types", "-A", "--activate", "--delete", "--disk-id",
    "-r", "--reorder", "--relocate", "-N", "--partno", "-a", "--append", "-o", "--output",
    "--backup-pt-sectors",
};
static const char *const kGeometryOptions[] = {"-C", "-H", "-S", "--cylinders", "--heads", "--sectors"};

template <size_t N>
static bool inList(const char *const (&ppList)[N], const char *pName, size_t nName)
{
    return std::any_of(std::begin(ppList), std::end(ppList), [=](const char *pItem) {
        return strlen(pItem) == nName && strncmp(pItem, pName, nName) == 0;
    });
}

// A version number of at most kVersionDigits digits at *ppText, moved past.
static bool readNumber(const char **ppText, long *pnValue)
{
    const char *p = *ppText;
    long nValue = 0;
    int nDigits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++nDigits)
        if (nDigits < kVersionDigits)
            nValue = nValue * 10 + (*p - '0');
    if (nDigits == 0)
        return false;
    *pnValue = nDigits > kVersionDigits ? 999999 : nValue;
    *ppText = p;
    return true;
}

bool isCurrentSfdisk(const char *pVersion)
{
    static const char kName[] = "util-linux";
    // The first "util-linux MAJOR.MINOR" or "util-linux-ng MAJOR.MINOR".
    for (const char *p = strstr(pVersion, kName); p != nullptr; p = strstr(p + 1, kName)) {
        const char *q = p + strlen(kName);
        if (strncmp(q, "-ng", 3) == 0)
            q += 3;
        long nMajor = 0, nMinor = 0;
        if (*q++ != ' ' || !readNumber(&q, &nMajor) || *q++ != '.' || !readNumber(&q, &nMinor))
            continue;
        return nMajor > kCurrentMajor || (nMajor == kCurrentMajor && nMinor >= kCurrentMinor);
    }
    return false;
}

int planSfdiskCall(int nArgs, const char *const *ppArgs, const char *pVersion, SfdiskCall *pCall)
{
    *pCall = SfdiskCall{};
    pCall->bCurrent = isCurrentSfdisk(pVersion);
    if (!pCall->bCurrent)
        return 0;

    bool bWhole = true;
    int nDisks = 0;
    auto keep = [pCall](const char *pWord) {
        if (pCall->nWords >= kSfdiskWordLimit)
            return false;
        pCall->ppWords[pCall->nWords++] = pWord;
        return true;
    };
    auto disk = [&](const char *pWord) {
        if (nDisks++ == 0)
            pCall->pDisk = pWord;
        return keep(pWord);
    };
    for (int ii = 0; ii < nArgs; ++ii) {
        const char *pWord = ppArgs[ii];
        const size_t nLength = strlen(pWord);
        if (strcmp(pWord, "--") == 0) {  // everything after it is a disk
            if (!keep(pWord))
                return -1;
            while (++ii < nArgs)
                if (!disk(ppArgs[ii]))
                    return -1;
            break;
        }
        if (pWord[0] != '-') {
            if (!disk(pWord))
                return -1;
            continue;
        }
        // --name=value and -Xvalue carry their value; otherwise the value of
        // an option that takes one is the next word.
        const bool bLong = pWord[1] == '-';
        const char *pEqual = bLong ? strchr(pWord, '=') : nullptr;
        const size_t nName = bLong ? (pEqual ? static_cast<size_t>(pEqual - pWord) : nLength) : 2;
        const bool bJoined = bLong ? pEqual != nullptr : nLength > 2;
        const bool bGeometry = inList(kGeometryOptions, pWord, nName);
        const bool bNextIsValue =
            (bGeometry || inList(kValueOptions, pWord, nName)) && !bJoined && ii + 1 < nArgs;
        if (bGeometry) {
            ii += bNextIsValue ? 1 : 0;
            continue;
        }
        if (inList(kNotTableOptions, pWord, nName) || strncmp(pWord, "--part-", 7) == 0)
            bWhole = false;
        if (bLong ? nName == 7 && strncmp(pWord, "--label", 7) == 0 : pWord[1] == 'X')
            pCall->bOwnLabel = true;
        if (!keep(pWord) || (bNextIsValue && !keep(ppArgs[++ii])))
            return -1;
    }
    pCall->bWholeTable = bWhole && nDisks == 1;
    if (nDisks != 1)
        pCall->pDisk = nullptr;
    return 0;
}

// A header line "NAME: value" of the table: sfdisk takes a line with a colon
// and no '=' as a header, its name trimmed of blanks.
static bool hasHeaderLine(const char *pTable, size_t nTable, const char *pName)
{
    const size_t nName = strlen(pName);
    for (size_t nStart = 0; nStart < nTable;) {
        const char *pLine = pTable + nStart;
        const char *pEnd = static_cast<const char *>(memchr(pLine, '\n', nTable - nStart));
        const size_t nLine = pEnd ? static_cast<size_t>(pEnd - pLine) : nTable - nStart;
        nStart += nLine + 1;
        size_t k = 0;
        while (k < nLine && (pLine[k] == ' ' || pLine[k] == '\t'))
            ++k;
        if (nLine - k < nName || strncmp(pLine + k, pName, nName) != 0 ||
            memchr(pLine, '=', nLine) != nullptr)
            continue;
        k += nName;
        while (k < nLine && (pLine[k] == ' ' || pLine[k] == '\t'))
            ++k;
        if (k < nLine && pLine[k] == ':')
            return true;
    }
    return false;
}

int sfdiskTableHeader(const char *pTable, size_t nTable, bool bOwnLabel, bool bMbr, uint32_t nDiskId,
                      char *pOut)
{
    static_assert(sizeof "label: dos\nlabel-id: 0x12345678\n" <= kSfdiskHeaderBytes, "the header fits");
    pOut[0] = '\0';
    if (bOwnLabel || hasHeaderLine(pTable, nTable, "label"))
        return 0;
    if (bMbr && !hasHeaderLine(pTable, nTable, "label-id"))
        return snprintf(pOut, kSfdiskHeaderBytes, "label: dos\nlabel-id: 0x%08x\n", static_cast<unsigned>(nDiskId));
    return snprintf(pOut, kSfdiskHeaderBytes, "label: dos\n");
}
