// The emulated MMC drive's settings, read from the environment variable WAVELARK_CD:
//
//   emulated[:option;option;...]
//
//   tracks=MM:SS:FF,...   start addresses of tracks 1, 2, ... (minute, second, frame of 75);
//                         default one track at 00:02:00
//   leadout=MM:SS:FF      the lead-out, where the last track ends; default 05:02:00
//   audio=sector          every sector says which it is (the default): frame k (0..587) of the
//                         sector at logical block b holds b's low 16 bits on the left and
//                         k + 1024 * (b >> 16) on the right
//   audio=wav,PATH        the sector at logical block b is bytes b * 2352 ... of the data of a
//                         44100 Hz 16-bit stereo PCM WAV file, silence past its end
//   disc=none             the drive is empty
//   data=N                track N is a data track
//   error=B               reading logical block B fails (unrecovered read error)
//   change=N              the drive reports a media change (unit attention) in answer to its
//                         N-th command after the disc was put in
//   ready=MS|never        the drive is becoming ready (not ready) for MS milliseconds after it
//                         is started, or never becomes ready
//   delay=MS              every command takes MS milliseconds; one whose time-out is shorter
//                         ends at its time-out, unanswered
//   drives=N              the number of drives, /dev/sr0 ... (default 1, at most 16)
//
// Changing the variable while a process runs changes the disc: each drive answers its next
// command (except INQUIRY) with unit attention, medium may have changed, and from then on
// plays the new disc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavelark::scsi {

// Frames (1/75 s) from 00:00:00 to the start of logical block 0.
inline constexpr uint32_t kLeadInFrames = 150;

struct EmulatedDiscSettings {
    std::vector<uint32_t> trackStarts{kLeadInFrames};  // frame addresses of tracks 1, 2, ...
    uint32_t leadOut = (5 * 60 + 2) * 75;
    bool wavAudio = false;
    std::string wavPath;
    bool discPresent = true;
    int dataTrack = 0;                       // 0: every track is audio
    std::optional<uint32_t> errorBlock;
    std::optional<uint64_t> changeAtCommand;
    std::optional<uint32_t> readyAfterMilliseconds = 0;  // nothing: never ready
    uint32_t commandMilliseconds = 0;
    int drives = 1;
};

// Parses the variable's value ("emulated" or "emulated:..."); on a malformed value (also
// addresses that do not increase or lie beyond 99:59:74) returns nothing and says what is
// wrong in error.
std::optional<EmulatedDiscSettings> parseEmulatedDiscSettings(std::string_view value, std::string& error);

}
