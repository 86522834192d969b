// The recorder's file primitives: a descriptor owner, whole reads and writes, a folder sync, and
// the one way the program replaces a file (settings.dat, wd.dat, the maximise journal, the work
// marks): the new content is written beside the file under a temporary name, forced to stable
// storage, renamed over the file, and the folder's entry forced too. A crash, a kill, a power loss
// or a full disk leaves the old file or the new one whole, never a part of either, and no
// temporary file after a failure. Plain functions and objects for one thread at a time; one
// writer per file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <sys/types.h>

namespace wavelark {

// An open file descriptor, closed when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor = -1) : m_descriptor(descriptor) {}
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }
    int get() const { return m_descriptor; }
    bool isOpen() const { return m_descriptor >= 0; }
    // Closes now; false, with errno set, when closing reports a late write failure.
    bool close();

private:
    int m_descriptor;
};

// Reads up to bytes at offset, retrying interrupted and partial reads: the count read (short only
// where the file ends), -1 with errno set on error.
ssize_t readFully(int descriptor, uint8_t* into, std::size_t bytes, uint64_t offset);

// Writes all bytes at offset, retrying interrupted and partial writes; false with errno set (ENOSPC
// when the system took no byte without saying why).
bool writeFully(int descriptor, const uint8_t* from, std::size_t bytes, uint64_t offset);

// Forces a folder's entries (a file just created or renamed in it) to stable storage; false
// with errno set.
bool syncFolder(const std::string& folder);

// The folder of path, ending with '/' ("./" for a bare name).
std::string folderOf(const std::string& path);

// What stopped a file replacement: the step that failed and the system's error number.
struct FileFailure {
    enum class Step {
        Creating,     // the temporary file could not be created
        Writing,      // writing it or forcing it to stable storage failed
        Replacing,    // it could not be renamed over the file
        SyncingFolder // the file was replaced, but its folder entry may not survive a power loss
    };
    Step step = Step::Writing;
    int code = 0;
    // The system's words for code.
    std::string reason() const;
};

// A file being replaced: its new content goes into a temporary file beside it (the path with
// sideSuffix added) until commit renames it over the file. Until then the file is untouched. A
// replacement that fails or goes uncommitted removes its temporary file. A temporary file left by
// a killed program is truncated by the next begin on the same path.
class FileReplacement {
public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement() { abandon(); }

    std::optional<FileFailure> begin(const std::string& path, const std::string& sideSuffix = ".part",
                                     mode_t mode = 0644);
    // Writes into the temporary file at offset.
    std::optional<FileFailure> write(std::span<const uint8_t> bytes, uint64_t offset);
    // The temporary file's descriptor, for a writer that sizes or reads it itself.
    int descriptor() const { return m_file.get(); }
    const std::string& sidePath() const { return m_sidePath; }
    // Forces the temporary file to stable storage, renames it over the file and forces the folder.
    // After any failure but SyncingFolder the file is as it was and the temporary file is gone.
    std::optional<FileFailure> commit();
    // Closes and removes the temporary file; the file stays as it was.
    void abandon();

private:
    std::optional<FileFailure> failAt(FileFailure::Step step);

    std::string m_path;
    std::string m_sidePath;
    FileDescriptor m_file;
};

// Puts a file that another writer finished beside path (a converter's output, an import's copy)
// in its place the same way: forces it to stable storage, renames it over path and forces the
// folder. After any failure but SyncingFolder, path is as it was and sidePath is still there:
// its writer decides what becomes of it. Nothing on success.
std::optional<FileFailure> moveIntoPlace(const std::string& sidePath, const std::string& path);

// Replaces the file at path (or creates it) with bytes, through a FileReplacement. Nothing on
// success.
std::optional<FileFailure> replaceFile(const std::string& path, std::span<const uint8_t> bytes, mode_t mode = 0644);

}
