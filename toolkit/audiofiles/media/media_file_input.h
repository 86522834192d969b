// The bytes of a media file as FFmpeg reads them. The toolkit opens the file itself, a regular
// file only, and hands FFmpeg an I/O context over that descriptor: no FFmpeg protocol ever opens
// the path, so what FFmpeg reads is the very file that was checked.
#pragma once

#include <cstdint>
#include <memory>

struct AVIOContext;

namespace sorvak {

class MediaFileInput {
public:
    // Null when the path is not a regular file that can be read (see openRegularFile).
    static std::unique_ptr<MediaFileInput> open(const char* path);
    // The format context reading through io() must be closed first.
    ~MediaFileInput();
    MediaFileInput(const MediaFileInput&) = delete;
    MediaFileInput& operator=(const MediaFileInput&) = delete;

    // Readable and seekable; owned by this object, which frees it and its buffer.
    AVIOContext* io() const { return m_io; }

private:
    explicit MediaFileInput(int file);
    static int read(void* opaque, uint8_t* buffer, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);

    int m_file;
    AVIOContext* m_io = nullptr;
};

}
