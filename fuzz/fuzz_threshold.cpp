// dosprep fuzzing: the threshold text of --dos. Input: the text.
#include "dosprep.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    char *psText = textOf(pData, nSize);
    const ThresholdText tThres = getThresholdValue(psText);

    // The characters taken are the first of the text, at most four; the
    // megabytes are the last running value.
    FUZZ_CHECK(tThres.nTaken >= 0 && tThres.nTaken <= kThresholdDigits);
    FUZZ_CHECK(static_cast<size_t>(tThres.nTaken) <= strlen(psText));
    FUZZ_CHECK(memcmp(tThres.cTaken, psText, static_cast<size_t>(tThres.nTaken)) == 0);
    FUZZ_CHECK(tThres.uMegabytes == (tThres.nTaken > 0 ? tThres.uRunning[tThres.nTaken - 1] : 0));
    // No character taken is above 'E', worth 21: four of them make at most
    // 21 * 1111, whose count of sectors stays far below 2^31.
    FUZZ_CHECK(tThres.uMegabytes <= 21u * 1111u);

    free(psText);
    return 0;
}
