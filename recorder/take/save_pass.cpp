#include "take/save_pass.h"

namespace wavelark {

SaveResult saveRange(const SaveJob& job, const SavePhaseProgress& phaseProgress,
                     SorvakProgressFunction conversionProgress)
{
    auto phase = [&](SavePhase which) -> BlockProgress {
        if (!phaseProgress)
            return {};
        return [&phaseProgress, which](int percent) { phaseProgress(which, percent); };
    };
    SaveResult result = copyRangeToTemporaryWav(job.takePath, job.range, job.temporaryPath, phase(SavePhase::Preparing));
    if (!result.ok())
        return result;
    const FadePassResult pass = fadeAndMaximise(job.temporaryPath, job.range, job.fades, phase(SavePhase::Scanning),
                                                phase(SavePhase::Processing));
    if (!pass.result.ok())
        return pass.result;
    if (phaseProgress)
        phaseProgress(SavePhase::Converting, 0);
    return convertTemporaryWav(job.temporaryPath, job.destinationPath, job.format, job.quality, job.range.bytes(),
                               conversionProgress);
}

}
