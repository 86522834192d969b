// A small reader for RIFF files (the container of WAV files): opens a file read-only, descends
// into a RIFF form of a given type, finds named chunks inside it and reads their bytes.
//
// Safe on any input: every offset is checked against the end of the file, every walk moves
// forward by at least one chunk header, so a truncated or hostile file gives an error (never a
// read outside the file, never an endless loop). Not thread-safe per object; separate objects
// may be used on separate threads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sorvak {

using FourCC = uint32_t;

// The four characters of a RIFF chunk identifier as the little-endian number read from a file.
constexpr FourCC makeFourCC(const char (&text)[5])
{
    return static_cast<FourCC>(static_cast<unsigned char>(text[0]))
        | static_cast<FourCC>(static_cast<unsigned char>(text[1])) << 8
        | static_cast<FourCC>(static_cast<unsigned char>(text[2])) << 16
        | static_cast<FourCC>(static_cast<unsigned char>(text[3])) << 24;
}

struct RiffError {
    enum class Category {
        None,
        CannotOpen,     // missing, unreadable, or not a regular file
        NotRiff,        // no RIFF form of the requested type
        ChunkNotFound,  // no chunk of that name inside the parent
        Truncated,      // the file ends inside a header or a body that is needed
        Malformed,      // a chunk is too short for what it must hold
        Unsupported,    // valid, but beyond what the caller can describe (offsets past 4 GiB)
        Io,             // the system refused a read
    };
    Category category = Category::None;
    // The file offset at which the error was noticed (a chunk header, or the end of the file).
    uint64_t offset = 0;

    explicit operator bool() const { return category != Category::None; }
    static RiffError none() { return {}; }
};

// One chunk as its header describes it. dataOffset is the absolute offset of the body;
// declaredSize is the body size the header states, which may reach past the end of the file;
// availableSize is the part of the body that lies inside the enclosing form and the file.
struct RiffChunk {
    FourCC id = 0;
    uint64_t dataOffset = 0;
    uint32_t declaredSize = 0;
    uint64_t availableSize = 0;
};

class RiffReader {
public:
    RiffReader() = default;
    ~RiffReader();
    RiffReader(const RiffReader&) = delete;
    RiffReader& operator=(const RiffReader&) = delete;

    // Opens a regular file for reading. A folder, a missing file or an unreadable one is
    // CannotOpen. Opening again closes the previous file.
    RiffError open(const char* path);
    void close();
    uint64_t fileSize() const { return m_fileSize; }
    // Hands the open file's descriptor to the caller, who then owns it (and must close it); the
    // reader is closed. -1 when no file is open.
    int releaseDescriptor();

    // Checks that the file is one "RIFF" chunk whose form type is formType. The form's children
    // are the chunks after the four-byte form type, up to the end of the file: its declared size
    // is not trusted (writers leave it 0 until they finalise the header).
    RiffError descendIntoForm(FourCC formType, RiffChunk& form) const;

    // Finds the first chunk named id among the children of form, searching from the first
    // child (so the order of the chunks inside the form does not matter). Odd-sized chunks
    // are followed by one pad byte, as RIFF requires.
    RiffError findChunk(const RiffChunk& form, FourCC id, RiffChunk& chunk) const;

    // Reads up to count bytes of chunk's body from offsetInChunk, never past its available
    // part. Returns the number of bytes read in bytesRead.
    RiffError read(const RiffChunk& chunk, uint64_t offsetInChunk, void* buffer, size_t count,
                   size_t& bytesRead) const;

private:
    // Reads exactly count bytes at offset, or reports Truncated/Io.
    RiffError readExactly(uint64_t offset, void* buffer, size_t count) const;
    size_t readAt(uint64_t offset, void* buffer, size_t count, RiffError& error) const;

    int m_file = -1;
    uint64_t m_fileSize = 0;
};

}
