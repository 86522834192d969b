// The journal that makes the raw take maximise's in-place rewrite recoverable. The rewrite goes a
// window of blocks at a time; before a window is touched, its original bytes, the take's peak and
// the window's place are written to the journal and reach stable storage, and the window's
// rewritten bytes reach stable storage before the next window's journal replaces it. So whatever
// moment the program or the machine stops at, the take holds maximised audio before the journal's
// window, original audio after it, and the window itself can be put back from the journal: the
// rewrite resumes there with the same gain and ends with exactly the file an uninterrupted one
// gives. Window thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wavelark {

// The blocks of one journal window.
inline constexpr std::size_t kJournalWindowBlocks = 64;

// The journal of the take at takePath: beside it, with ".maximise" added.
std::string maximiseJournalPath(const std::string& takePath);

// Which take a journal belongs to: a journal found beside another take (a new recording made after
// a failed recovery) must never write its bytes into it. The id is the random one the take's
// recording mark names: it travels with the take to another disk or a restored copy of the data
// folder, where the device and inode do not.
struct TakeIdentity {
    std::string id;     // 32 hex digits; empty for a take whose mark names none
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
};

// The identity of the open file with the given id; nothing when it cannot be read.
std::optional<TakeIdentity> takeIdentity(int descriptor, const std::string& id);

// Whether a journal written for journalTake belongs to take: by id and size when both have an id;
// otherwise (a journal or a mark from before ids, or a take whose mark is gone) by device, inode
// and size as before ids, so such a journal is still used where the take never moved and safely
// thrown away where it did.
bool sameTake(const TakeIdentity& journalTake, const TakeIdentity& take);

struct JournalEntry {
    TakeIdentity take;
    int16_t peak = 0;              // the peak the whole rewrite's gain comes from
    uint64_t offset = 0;           // where the window starts in the take
    std::vector<uint8_t> original; // the window's bytes before the rewrite
};

// Writes entry as the journal, replacing it whole (core/file_toolbox.h): on stable storage, folder
// entry included, when this returns true. False, with the system's reason in error, when any of it
// fails (the journal then holds the previous window or nothing).
bool writeMaximiseJournal(const std::string& journalPath, const JournalEntry& entry, std::string* error);

enum class JournalState { Absent, Valid, Damaged };
struct JournalReading {
    JournalState state = JournalState::Absent;
    JournalEntry entry;    // with Valid
    std::string problem;   // with Damaged: what is wrong
};

// Reads the journal. A journal whose checksum, format or lengths do not hold is Damaged.
JournalReading readMaximiseJournal(const std::string& journalPath);

// Removes the journal (a missing one is no failure).
bool removeMaximiseJournal(const std::string& journalPath);

}
