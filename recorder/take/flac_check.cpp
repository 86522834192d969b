#include "take/flac_check.h"

#include "core/file_toolbox.h"
#include "core/take_format.h"

#include <FLAC/stream_decoder.h>

#include <QCryptographicHash>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace wavelark {

namespace {

constexpr std::size_t kFrameBytes = 4;
// "fLaC", the metadata block header and the 34 bytes of STREAMINFO.
constexpr std::size_t kStreamInfoEnd = 42;

struct DecoderDelete {
    void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};

}

// What the decoding thread and the writer's thread share.
struct FlacReadBack::Shared {
    Shared(const std::string& filePath, const PcmRegion& source)
        : path(filePath)
        , expected(source)
        , expectedFrames(source.dataSize() / kFrameBytes)
    {
    }

    const std::string path;
    const PcmRegion& expected;
    const uint64_t expectedFrames;

    std::mutex mutex;
    std::condition_variable wake;
    bool writerDone = false;   // guarded by mutex
    bool stopped = false;      // guarded by mutex: the writer failed, nothing more is read
    uint64_t writes = 0;       // guarded by mutex: bumped by written()

    // The decoding thread's own state.
    FileDescriptor file;
    uint64_t readOffset = 0;
    uint64_t compared = 0; // frames of the file compared so far
    std::optional<std::string> difference;
    std::vector<uint8_t> block = std::vector<uint8_t>(kCopyBlockSize);
    uint64_t blockStart = 0; // the first frame the block holds
    std::size_t blockFrames = 0;
    QCryptographicHash sourceSignature{QCryptographicHash::Md5};

    // The source's frame, reading (and adding to the signature) the next block when needed; false
    // (with the difference set) when the source cannot be read there.
    bool sourceFrame(uint64_t frame, int16_t& left, int16_t& right)
    {
        if (frame < blockStart || frame >= blockStart + blockFrames) {
            blockStart = frame;
            blockFrames = 0;
            const std::size_t wanted =
                static_cast<std::size_t>(std::min<uint64_t>(block.size() / kFrameBytes, expectedFrames - frame)) * kFrameBytes;
            const ssize_t got = readFully(expected.descriptor(), block.data(), wanted, expected.dataOffset() + frame * kFrameBytes);
            if (got < 0 || static_cast<std::size_t>(got) != wanted) {
                difference = "the audio it was made from could not be read back";
                return false;
            }
            blockFrames = wanted / kFrameBytes;
            sourceSignature.addData(QByteArrayView(block.data(), static_cast<qsizetype>(wanted)));
        }
        const uint8_t* bytes = block.data() + (frame - blockStart) * kFrameBytes;
        left = static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
        right = static_cast<int16_t>(bytes[2] | (bytes[3] << 8));
        return true;
    }

    // Hands the decoder up to `bytes` of what the writer has written, waiting for more while it
    // writes; 0 at the file's end once the writer is done, or when it failed.
    std::size_t readWritten(FLAC__byte* buffer, std::size_t bytes)
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            const bool done = writerDone;
            if (stopped)
                return 0;
            const uint64_t seenWrites = writes;
            lock.unlock();
            struct stat status {};
            const uint64_t size = ::fstat(file.get(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
            if (size > readOffset) {
                const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(bytes, size - readOffset));
                const ssize_t got = readFully(file.get(), buffer, wanted, readOffset);
                if (got <= 0)
                    return 0;
                readOffset += static_cast<uint64_t>(got);
                return static_cast<std::size_t>(got);
            }
            if (done)
                return 0;
            lock.lock();
            // The writer's stdio buffer reaches the file on its own schedule: look again now and then.
            wake.wait_for(lock, std::chrono::milliseconds(20), [&] { return writes != seenWrites || writerDone || stopped; });
        }
    }

    // The final STREAMINFO, read once the writer is done: the frame count and the signature.
    void checkFinalStreamInfo()
    {
        std::array<uint8_t, kStreamInfoEnd> info {};
        if (readFully(file.get(), info.data(), info.size(), 0) != static_cast<ssize_t>(info.size())) {
            difference = "its stream info cannot be read";
            return;
        }
        // 36 bits of total samples end 8 bytes after the sample rate's start (offset 18), then the MD5.
        uint64_t total = info[21] & 0x0F;
        for (std::size_t index = 22; index < 26; ++index)
            total = (total << 8) | info[index];
        const QByteArray signature(reinterpret_cast<const char*>(info.data() + 26), 16);
        if (total != expectedFrames)
            difference = "its stream info states " + std::to_string(total) + " frames where "
                         + std::to_string(expectedFrames) + " were expected";
        else if (signature.count('\0') == signature.size())
            difference = "it carries no MD5 signature";
        else if (signature != sourceSignature.result())
            difference = "its MD5 signature does not match the selection";
    }

    void decode();
};

namespace {

FLAC__StreamDecoderReadStatus readCallback(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* context)
{
    auto& shared = *static_cast<FlacReadBack::Shared*>(context);
    *bytes = shared.readWritten(buffer, *bytes);
    return *bytes > 0 ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

FLAC__StreamDecoderWriteStatus compareFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                            const FLAC__int32* const buffer[], void* context)
{
    auto& shared = *static_cast<FlacReadBack::Shared*>(context);
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16
        || frame->header.sample_rate != kTakeSampleRate) {
        shared.difference = "it is not 44100 Hz 16-bit stereo";
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    for (unsigned index = 0; index < frame->header.blocksize; ++index) {
        const uint64_t at = shared.compared;
        if (at >= shared.expectedFrames) {
            shared.difference = "it holds more audio than the selection";
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        int16_t left = 0;
        int16_t right = 0;
        if (!shared.sourceFrame(at, left, right))
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        if (buffer[0][index] != left || buffer[1][index] != right) {
            shared.difference = "frame " + std::to_string(at) + " differs from the selection";
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        ++shared.compared;
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

// The metadata is checked in its final form, after the writer is done.
void ignoreMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata*, void*) {}

// A lost sync, a bad header, a frame whose checksum fails: the file is damaged or cut short.
void noteError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* context)
{
    auto& shared = *static_cast<FlacReadBack::Shared*>(context);
    if (!shared.difference)
        shared.difference = "it cannot be decoded: the stream is damaged or cut short";
}

}

void FlacReadBack::Shared::decode()
{
    file = FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::unique_ptr<FLAC__StreamDecoder, DecoderDelete> decoder(FLAC__stream_decoder_new());
    if (!file.isOpen() || !decoder) {
        difference = "it cannot be opened";
        return;
    }
    // The decoder's own MD5 check is left off: the signature it would read first may be the one
    // the writer puts there before the audio, and is checked in its final form afterwards.
    FLAC__StreamDecoder* raw = decoder.get();
    if (FLAC__stream_decoder_init_stream(raw, readCallback, nullptr, nullptr, nullptr, nullptr, compareFrame, ignoreMetadata,
                                         noteError, this)
        != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        difference = "the FLAC decoder could not be started";
        return;
    }
    // Stops at the end of the stream, at a callback's abort, or at a broken stream.
    const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(raw);
    // finish answers only for the decoder's MD5 check, which is off: the answer tells nothing here.
    FLAC__stream_decoder_finish(raw);
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (stopped)
            return;
    }
    if (difference)
        return;
    if (!decoded)
        difference = "it cannot be decoded";
    else if (compared != expectedFrames)
        difference = "it holds " + std::to_string(compared) + " frames where " + std::to_string(expectedFrames)
                     + " were expected";
    else
        checkFinalStreamInfo();
}

FlacReadBack::FlacReadBack(const std::string& path, const PcmRegion& expected)
    : m_shared(std::make_unique<Shared>(path, expected))
    , m_thread([shared = m_shared.get()] { shared->decode(); })
{
}

FlacReadBack::~FlacReadBack()
{
    if (!m_finished)
        finish(false);
}

void FlacReadBack::written()
{
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        ++m_shared->writes;
    }
    m_shared->wake.notify_one();
}

std::optional<std::string> FlacReadBack::finish(bool writerSucceeded)
{
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->writerDone = true;
        m_shared->stopped = !writerSucceeded;
    }
    m_shared->wake.notify_one();
    m_thread.join();
    m_finished = true;
    if (!writerSucceeded)
        return std::nullopt;
    return m_shared->difference;
}

std::optional<std::string> flacDifference(const std::string& path, const PcmRegion& expected)
{
    FlacReadBack readBack(path, expected);
    return readBack.finish(true);
}

}
