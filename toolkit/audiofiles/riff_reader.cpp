#include "audiofiles/riff_reader.h"

#include "little_endian.h"
#include "audiofiles/regular_file.h"

#include <cerrno>
#include <unistd.h>

#include <algorithm>

namespace sorvak {

using wavelark::readLittleEndian32;

namespace {

constexpr uint64_t kChunkHeaderSize = 8;
constexpr uint64_t kFormTypeSize = 4;
constexpr FourCC kRiffId = makeFourCC("RIFF");

RiffError errorAt(RiffError::Category category, uint64_t offset)
{
    return RiffError{category, offset};
}

// The offset just after a chunk whose body starts at dataOffset: bodies of odd size carry one
// pad byte. 64-bit arithmetic: a body of 0xFFFFFFFF bytes cannot wrap.
uint64_t nextChunkOffset(uint64_t dataOffset, uint32_t declaredSize)
{
    return dataOffset + declaredSize + (declaredSize & 1u);
}

}

RiffReader::~RiffReader()
{
    close();
}

void RiffReader::close()
{
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
    m_fileSize = 0;
}

int RiffReader::releaseDescriptor()
{
    int file = m_file;
    m_file = -1;
    m_fileSize = 0;
    return file;
}

RiffError RiffReader::open(const char* path)
{
    close();
    uint64_t size = 0;
    int file = openRegularFile(path, &size);
    if (file < 0)
        return errorAt(RiffError::Category::CannotOpen, 0);
    m_file = file;
    m_fileSize = size;
    return RiffError::none();
}

size_t RiffReader::readAt(uint64_t offset, void* buffer, size_t count, RiffError& error) const
{
    error = RiffError::none();
    if (m_file < 0) {
        error = errorAt(RiffError::Category::CannotOpen, offset);
        return 0;
    }
    size_t done = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (done < count) {
        ssize_t got = pread(m_file, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = errorAt(RiffError::Category::Io, offset + done);
            break;
        }
        if (got == 0)  // the file shrank since it was opened
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

RiffError RiffReader::readExactly(uint64_t offset, void* buffer, size_t count) const
{
    if (offset > m_fileSize || count > m_fileSize - offset)
        return errorAt(RiffError::Category::Truncated, m_fileSize);
    RiffError error;
    size_t got = readAt(offset, buffer, count, error);
    if (error)
        return error;
    if (got != count)
        return errorAt(RiffError::Category::Truncated, offset + got);
    return RiffError::none();
}

RiffError RiffReader::descendIntoForm(FourCC formType, RiffChunk& form) const
{
    if (m_file < 0)
        return errorAt(RiffError::Category::CannotOpen, 0);
    // A RIFF file is one RIFF chunk from its first byte on.
    unsigned char header[kChunkHeaderSize + kFormTypeSize];
    if (RiffError error = readExactly(0, header, sizeof header))
        return error.category == RiffError::Category::Truncated ? errorAt(RiffError::Category::NotRiff, 0) : error;
    uint32_t declaredSize = readLittleEndian32(header + 4);
    if (readLittleEndian32(header) != kRiffId || readLittleEndian32(header + 8) != formType)
        return errorAt(RiffError::Category::NotRiff, 0);
    // The form runs to the end of the file whatever its size field says: writers store 0 there
    // until they finalise the header, and a size that is too small loses nothing by being
    // ignored, while every chunk found is still checked against the end of the file.
    uint64_t dataOffset = kChunkHeaderSize;
    form = RiffChunk{kRiffId, dataOffset, declaredSize, m_fileSize - dataOffset};
    return RiffError::none();
}

RiffError RiffReader::findChunk(const RiffChunk& form, FourCC id, RiffChunk& chunk) const
{
    if (m_file < 0)
        return errorAt(RiffError::Category::CannotOpen, 0);
    uint64_t end = std::min(form.dataOffset + form.availableSize, m_fileSize);
    uint64_t offset = form.dataOffset + kFormTypeSize;
    // Each step moves on by at least a chunk header, so the walk ends.
    while (offset + kChunkHeaderSize <= end) {
        unsigned char header[kChunkHeaderSize];
        if (RiffError error = readExactly(offset, header, sizeof header))
            return error;
        FourCC childId = readLittleEndian32(header);
        uint32_t declaredSize = readLittleEndian32(header + 4);
        uint64_t dataOffset = offset + kChunkHeaderSize;
        if (childId == id) {
            uint64_t available = std::min<uint64_t>(declaredSize, end - dataOffset);
            chunk = RiffChunk{childId, dataOffset, declaredSize, available};
            return RiffError::none();
        }
        offset = nextChunkOffset(dataOffset, declaredSize);
    }
    return errorAt(RiffError::Category::ChunkNotFound, offset);
}

RiffError RiffReader::read(const RiffChunk& chunk, uint64_t offsetInChunk, void* buffer, size_t count,
                           size_t& bytesRead) const
{
    bytesRead = 0;
    if (offsetInChunk >= chunk.availableSize || count == 0)
        return RiffError::none();
    uint64_t wanted = std::min<uint64_t>(count, chunk.availableSize - offsetInChunk);
    RiffError error;
    bytesRead = readAt(chunk.dataOffset + offsetInChunk, buffer, static_cast<size_t>(wanted), error);
    return error;
}

}
