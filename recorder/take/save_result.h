// What every step of a save answers: the range it works on and its typed result. The steps'
// messages are fit for a message box: what failed, why (the system's reason where there is one)
// and what was kept.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace wavelark {

// The part of the take to save: byte offsets into the raw take, whole frames (multiples of 4),
// end greater than start.
struct SaveRange {
    uint32_t start = 0;
    uint32_t end = 0;
    bool valid() const { return start % 4 == 0 && end % 4 == 0 && end > start; }
    uint32_t bytes() const { return end - start; }
};

enum class SaveFailure {
    None,
    InvalidRange,      // the range is empty, not whole frames, or reaches past the take
    TakeUnreadable,    // the raw take cannot be opened or read
    TemporaryFile,     // the temporary WAV cannot be created, written (disk full) or read back
    Conversion,        // the converter failed or is unavailable; no archive file was left
    Verification,      // the written file is missing or its length does not match the range
};

struct SaveResult {
    SaveFailure failure = SaveFailure::None;
    std::string message; // empty on success; otherwise what failed, why, and what was kept
    bool ok() const { return failure == SaveFailure::None; }
};

inline SaveResult failedSave(SaveFailure kind, std::string message)
{
    return SaveResult{kind, std::move(message)};
}

// The path in quotes, as the messages name files.
inline std::string quotedPath(const std::string& path)
{
    return "\"" + path + "\"";
}

// The system's reason for the last failed call (errno), in words.
inline std::string systemReason()
{
    return std::strerror(errno);
}

}
