// Saving a part of the take: the range of the raw take is copied into the temporary WAV file
// (temp.wav in the data folder, take/pcm_wav.h), the fades and the optional maximise are applied
// to that file in place (take/fade_pass.h), and one of the toolkit's converters writes the
// archive file from it, which is then read back and checked (take/save_conversion.h). This file
// runs the steps in order and reports their phases. A FLAC save without fades or maximise takes
// the direct path instead: the range of the raw take goes to the encoder as it is, so the file
// holds exactly the selected frames (no temporary file, no pass).
//
// Thread: the window thread, like every long operation of the recorder. Nothing here touches a
// widget: the caller shows progress and pumps events from the progress functions, which are
// called after each block (the copy's 1 MiB blocks, the passes' 64 KiB blocks) or by the
// toolkit's converter. The toolkit must be bound (g_toolkit) before any call.
//
// Errors: every step returns a SaveResult. A failed step names what failed and why (the
// system's reason where there is one) in words fit for a message box, and says what was kept;
// a step never reports success for a half result. The temporary file is the caller's path and
// stays where it is after a save, whatever the outcome.
#pragma once

#include "take/fade_pass.h"
#include "take/pcm_wav.h"
#include "take/save_conversion.h"
#include "take/save_result.h"

#include "sorvak.h"

#include <functional>
#include <string>

namespace wavelark {

// What the user chose in the save dialog for one save: the name (without folder or extension),
// the format and quality, and the fades and maximise.
struct SaveChoices {
    std::string name;
    SaveFormat format = SaveFormat::Mp3;
    SaveQuality quality = SaveQuality::High;
    FadeSettings fades;
    // The archive file's name: the name and the format's extension.
    std::string fileName() const { return name + saveExtension(format); }
};

// Where a save stands, for the caller's status line; the phases come in this order.
enum class SavePhase { Preparing, Scanning, Processing, Converting };

struct SaveJob {
    std::string takePath;
    std::string temporaryPath;
    std::string destinationPath;
    SaveRange range;
    FadeSettings fades;
    SaveFormat format = SaveFormat::Mp3;
    SaveQuality quality = SaveQuality::High;
    const SorvakTags* tags = nullptr; // caller-owned, read during saveRange; see convertTemporaryWav
};

// True when the fades or the maximise change the samples: a fade whose box is on with a length
// above 0 ms, or the maximise.
bool changesSamples(const FadeSettings& fades);

// The whole save: copy (Preparing), the fade and maximise pass's scan (Scanning) and rewrite
// (Processing), then the conversion and its check (Converting), stopping at the first failure.
// phaseProgress(phase, percent) is called after each block of the first three phases, and once
// with (Converting, 0) before the converter starts (the caller sets the saving mark and resets the
// progress bar there); conversionProgress goes to the converter.
using SavePhaseProgress = std::function<void(SavePhase phase, int percent)>;
SaveResult saveRange(const SaveJob& job, const SavePhaseProgress& phaseProgress,
                     SorvakProgressFunction conversionProgress);

}
