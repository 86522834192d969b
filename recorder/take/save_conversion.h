// The save's conversion: one of the toolkit's converters (or, for FLAC, libFLAC) writes the
// archive file from the temporary WAV into a side file beside the destination, which is read back
// and checked before it is renamed into place.
//
// Thread: the window thread (long operations); the toolkit must be bound (g_toolkit).
// Errors: a SaveResult (take/save_result.h) whose message gives the system's reason where a
// system call failed. A failed conversion or check leaves no partial file.
#pragma once

#include "take/pcm_blocks.h"
#include "take/save_result.h"

#include "sorvak.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace wavelark {

// The archive formats, in the order of the save dialog's format list.
// The indices are stored in the settings record: they never change meaning.
enum class SaveFormat { Mp3 = 0, Wma = 1, Wav = 2, Flac = 3 };
// The qualities, in the order of the save dialog's quality list.
enum class SaveQuality { High = 0, Medium = 1, Low = 2 };

// ".mp3", ".wma", ".wav" or ".flac".
const char* saveExtension(SaveFormat format);

// What a converter is asked for, by format and quality: MP3 at 256/128/64 kbit/s and 44100 Hz;
// WMA always with the bit-rate value 192 (the toolkit writes 128 kbit/s); WAV at 44100/16,
// 22050/16 or 11025/8, two channels, speed 1.0; FLAC at compression level 8/5/0 (smaller or
// faster, every level lossless).
struct ConversionSettings {
    int mp3BitRate = 0;    // kbit/s, MP3 only
    int wmaBitRate = 0;    // WMA only
    int wavSampleRate = 0; // WAV only
    int wavBits = 0;       // WAV only
    int flacLevel = 0;     // FLAC only
};
ConversionSettings conversionSettings(SaveFormat format, SaveQuality quality);

// Runs the converter of the format on the temporary WAV, writing destinationPath (the archive
// folder, the name, saveExtension(format)); progress is the toolkit's callback, a non-zero answer
// cancels. The two stages are take/conversion_stages.h's, one after the other: encodeSideFile
// writes the side file (sidePathOf) with the tags (caller-owned, read during the call; null for
// none) for every format that carries them (MP3 an ID3v2 tag, WMA its attributes, FLAC Vorbis
// comments; a WAV file carries none, so they are left out of it), and checkSideFile reads it back:
// it must exist and hold the range's duration (rangeBytes of the take) within one codec frame (MP3
// 1152, WMA 2048 samples, WAV one frame at its rate); FLAC, encoded from the temporary WAV's data,
// which must be 44100 Hz 16-bit stereo, is read back as saveFlacFile does. The side file replaces
// the destination only once it has been read back. A failed conversion or check leaves no partial
// file and keeps an existing file of the destination's name as it was.
// Thread: the window thread, one save at a time (the read-back asks the toolkit's shared reader).
SaveResult convertTemporaryWav(const std::string& temporaryPath, const std::string& destinationPath,
                               SaveFormat format, SaveQuality quality, uint32_t rangeBytes,
                               SorvakProgressFunction progress, const SorvakTags* tags = nullptr);

// Writes the FLAC archive file destinationPath from the 16-bit stereo frames of source (the raw
// take's range, or the temporary WAV's data) at the quality's level, with tags, in the side file;
// the side file replaces the destination only once it has been decoded back and found to hold
// exactly source's frames, every sample, with a matching MD5 signature (take/flac_check.h).
// progress follows the encoding. Failures as convertTemporaryWav's.
SaveResult saveFlacFile(const PcmRegion& source, const std::string& destinationPath, SaveQuality quality,
                        const SorvakTags* tags, SorvakProgressFunction progress);

// The longest file name, in bytes, that the file system of folder takes (255 where it cannot be
// asked, as for a folder that does not exist).
std::size_t longestFileName(const std::string& folder);

// The side file the converter writes beside destinationPath before it is renamed into place:
// the destination's name + ".part" where that fits the folder's longest file name; otherwise the
// name's start (cut on a character boundary), '~' and 16 hex digits of a hash of the whole name,
// then ".part", so that every destination that fits the folder has a side file that fits too,
// distinct for distinct names. It always ends in ".part", which the start-up cleaner relies on.
std::string sidePathOf(const std::string& destinationPath);

}
