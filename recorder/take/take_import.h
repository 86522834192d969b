// Importing an audio file in place of the take. The file is written into a side file beside the
// raw take (same folder, so the final rename is atomic) and replaces the take only when it holds
// audio: a refused or failed import never touches the current take.
//
// The file is first examined (import_examination.h). A WAV file of the take's own format (the
// last three characters of its name "WAV" in any case; 44100 Hz, 16-bit stereo PCM by the
// toolkit's OpenWAV in slot 0) is copied byte for byte, header and any other chunks included, in
// 1 MiB blocks. Any other audio file (WAV in another PCM format, FLAC, Ogg, Opus, MP3, AAC/M4A,
// WMA, ...) is converted by the toolkit's AudioFileToWAV into a WAV file of 44100 Hz, 16-bit
// stereo. Either way the side file's first 44 bytes are then zeroed (the header becomes 11
// silent frames) and the side file is renamed over the raw take. The raw take maximise and the
// peak cache are the caller's next steps.
//
// Thread: the window thread. Nothing here touches a widget: the caller shows progress and pumps
// events from the progress functions. The toolkit must be bound (g_toolkit).
#pragma once

#include "take/pcm_blocks.h"

#include "sorvak.h"

#include <cstdint>
#include <functional>
#include <string>

namespace wavelark {

enum class ImportFailure {
    None,
    NotRegularFile,   // missing, a folder, a named pipe or a device: refused before anything is read
    NotAudio,         // examined and refused before anything is written: a video, a text file,
                      // a file without audio, one cut off, a rate outside 8..192 kHz
    Unreadable,       // the file could not be read, opened or decoded, or holds no audio
    SideFile,         // the side file could not be written (disk full, no permission)
    Commit,           // the side file could not replace the raw take
};

struct ImportResult {
    ImportFailure failure = ImportFailure::None;
    std::string message;     // empty on success; otherwise what failed (naming the file), why, and
                             // that the current recording was kept
    uint64_t takeBytes = 0;  // the new raw take's length on success
    bool ok() const { return failure == ImportFailure::None; }
};

// Whether the import takes the WAV way: the last three characters of the path, upper-cased,
// are "WAV".
bool importsAsWav(const std::string& sourcePath);

// The side file the import writes before it replaces the take: the take's path + ".import".
std::string importSidePath(const std::string& takePath);

// Imports sourcePath in place of the raw take at takePath. The copy reports trunc(100 ×
// copied / file length) to copyProgress after every 1 MiB block; the conversion hands
// decodeProgress to AudioFileToWAV as it stands. beforeReplace runs once the side file is complete,
// just before it is renamed over the take (the caller marks the take as being replaced there):
// it returns why the take must not be replaced (the mark could not be written), empty to go on.
// On any failure the side file is removed and the raw take is left exactly as it was.
ImportResult importIntoTake(const std::string& sourcePath, const std::string& takePath,
                            const BlockProgress& copyProgress, SorvakProgressFunction decodeProgress,
                            const std::function<std::string()>& beforeReplace = {});

}
