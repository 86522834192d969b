#include "take/save_pass.h"

namespace wavelark {

bool changesSamples(const FadeSettings& fades)
{
    return (fades.fadeInOn && fades.fadeInMilliseconds > 0) || (fades.fadeOutOn && fades.fadeOutMilliseconds > 0)
           || fades.maximiseOn;
}

namespace {

// The exact FLAC save: the take's range as the encoder's source, read back against the same range.
SaveResult saveTakeRangeAsFlac(const SaveJob& job, const SavePhaseProgress& phaseProgress,
                               SorvakProgressFunction conversionProgress)
{
    if (SaveResult checked = checkTakeRange(job.takePath, job.range); !checked.ok())
        return checked;
    PcmRegion take;
    std::string why;
    if (!take.openForReading(job.takePath, job.range.start, job.range.bytes(), &why))
        return failedSave(SaveFailure::TakeUnreadable, "The recording " + quotedPath(job.takePath) + " could not be opened: "
                                                           + why + ". Nothing was saved.");
    if (phaseProgress)
        phaseProgress(SavePhase::Converting, 0);
    return saveFlacFile(take, job.destinationPath, job.quality, job.tags, conversionProgress);
}

}

SaveResult saveRange(const SaveJob& job, const SavePhaseProgress& phaseProgress,
                     SorvakProgressFunction conversionProgress)
{
    auto phase = [&](SavePhase which) -> BlockProgress {
        if (!phaseProgress)
            return {};
        return [&phaseProgress, which](int percent) { phaseProgress(which, percent); };
    };
    if (job.format == SaveFormat::Flac && !changesSamples(job.fades))
        return saveTakeRangeAsFlac(job, phaseProgress, conversionProgress);
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
                               conversionProgress, job.tags);
}

}
