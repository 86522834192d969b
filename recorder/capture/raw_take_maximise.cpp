#include "raw_take_maximise.h"

namespace wavelark {

void maximiseSamples(int16_t* samples, std::size_t count, double gain)
{
    for (std::size_t index = 0; index < count; ++index)
        samples[index] = maximisedSample(samples[index], gain);
}

MaximiseResult maximiseRawTake(const std::string& path, const BlockProgress& scanProgress,
                               const BlockProgress& rewriteProgress, std::size_t blockSize)
{
    MaximiseResult result;
    PcmRegion region;
    if (!region.openForRewrite(path, 0, 0, &result.error))
        return result;
    result.opened = true;
    result.peak = scanPeak(region, scanProgress, blockSize);
    if (result.peak <= 0)
        return result;
    const double gain = 32767.0 / result.peak;
    result.writeFailed = !rewriteBlocks(
        region, [gain](int16_t* samples, std::size_t count) { maximiseSamples(samples, count, gain); },
        rewriteProgress, blockSize, &result.error);
    result.rewritten = !result.writeFailed;
    return result;
}

}
