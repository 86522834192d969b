// What an import will do with a file, found before anything is asked or written: copy it (a WAV
// file of the take's own format, 44100 Hz 16-bit stereo PCM), convert it (any other audio file:
// WAV in another PCM format, FLAC, Ogg Vorbis, Opus, MP3, AAC/M4A, WMA, ...; the toolkit's
// AudioFileToWAV), or refuse it with a message that names the file and says why in a user's
// words ("The file "/x/clip.mkv" is a Matroska video; Wavelark imports audio files: ...").
//
// The conversion's two toolkit entries are optional extras of the binding (g_toolkitExtras): a
// library without them refuses every file that would need them.
//
// Thread: the window thread. The toolkit must be bound (g_toolkit).
#pragma once

#include <string>

namespace wavelark {

enum class ImportWay {
    Copy,     // byte for byte: header, chunks and samples
    Convert,  // decoded, mixed down, dithered and resampled to the take's format
    Refused,
};

enum class ImportRefusal {
    None,
    NotRegularFile,  // missing, a folder, a named pipe or a device
    NotAudio,        // anything examined and found not importable
};

struct ImportExamination {
    ImportWay way = ImportWay::Refused;
    ImportRefusal refusal = ImportRefusal::None;
    std::string message;  // for a refusal: what the file is and why it cannot be imported
};

// The formats a refusal lists, as a user reads them.
inline constexpr char kImportableFormats[] =
    "Wavelark imports audio files: WAV, FLAC, Ogg Vorbis, Opus, MP3, AAC/M4A and WMA.";

// Examines the file without changing anything. Reads the WAV header, or for the conversion the
// file's headers, its first audio frame and its last two seconds.
// A file longer than the take's limit (kLargestTake: 6 h 45 min) is refused, by its stated length.
ImportExamination examineImport(const std::string& sourcePath);

// The refusal's text for a file of that many seconds, too long for a take.
std::string tooLongText(const std::string& name, double seconds);

// Converts sourcePath (examined as ImportWay::Convert) into a 44100 Hz 16-bit stereo WAV file at
// destinationPath through the toolkit's AudioFileToWAV; progress as that entry reports it. True
// on success; on failure nothing is left at destinationPath.
bool convertForImport(const std::string& sourcePath, const std::string& destinationPath, int (*progress)(int));

}
