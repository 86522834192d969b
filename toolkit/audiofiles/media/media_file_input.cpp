#include "audiofiles/media/media_file_input.h"

#include "audiofiles/regular_file.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvak {

namespace {

// The size FFmpeg's own file protocol reads in.
constexpr int kBufferSize = 32768;

}

std::unique_ptr<MediaFileInput> MediaFileInput::open(const char* path)
{
    int file = openRegularFile(path);
    if (file < 0)
        return nullptr;
    std::unique_ptr<MediaFileInput> input(new MediaFileInput(file));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer)
        return nullptr;
    input->m_io = avio_alloc_context(buffer, kBufferSize, 0, input.get(), &MediaFileInput::read, nullptr,
                                     &MediaFileInput::seek);
    if (!input->m_io) {
        av_free(buffer);
        return nullptr;
    }
    return input;
}

MediaFileInput::MediaFileInput(int file)
    : m_file(file)
{
}

MediaFileInput::~MediaFileInput()
{
    if (m_io) {
        // FFmpeg may have replaced the buffer it was given: free the one it holds now.
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    ::close(m_file);
}

int MediaFileInput::read(void* opaque, uint8_t* buffer, int size)
{
    auto* input = static_cast<MediaFileInput*>(opaque);
    for (;;) {
        ssize_t got = ::read(input->m_file, buffer, static_cast<std::size_t>(size));
        if (got > 0)
            return static_cast<int>(got);
        if (got == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int64_t MediaFileInput::seek(void* opaque, int64_t offset, int whence)
{
    auto* input = static_cast<MediaFileInput*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat status {};
        return fstat(input->m_file, &status) == 0 ? static_cast<int64_t>(status.st_size) : AVERROR(errno);
    }
    off_t position = lseek(input->m_file, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : static_cast<int64_t>(position);
}

}
