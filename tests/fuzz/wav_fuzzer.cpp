// libFuzzer target for the RIFF chunk reader and the WAV slot reader: every input is a file that
// the reader walks directly and that OpenWAV, ReadWAV, SeekWAV and the format probe then read.
// Any read outside a buffer is caught by the address sanitizer; the checks below catch results
// that break the readers' promises.

#include "audiofiles/riff_reader.h"
#include "audiofiles/wav_probe.h"
#include "sorvak.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// One in-memory file for every input; its path through /proc lets the exports open it by name.
struct InputFile {
    int descriptor = -1;
    std::string path;
};

const InputFile& inputFile()
{
    static InputFile file = [] {
        InputFile created;
        created.descriptor = memfd_create("wav-fuzz-input", MFD_CLOEXEC);
        if (created.descriptor < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        created.path = "/proc/self/fd/" + std::to_string(created.descriptor);
        return created;
    }();
    return file;
}

bool replaceContent(const InputFile& file, const uint8_t* data, size_t size)
{
    if (ftruncate(file.descriptor, 0) != 0)
        return false;
    size_t written = 0;
    while (written < size) {
        ssize_t done = pwrite(file.descriptor, data + written, size - written, static_cast<off_t>(written));
        if (done <= 0)
            return false;
        written += static_cast<size_t>(done);
    }
    return true;
}

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

void walkChunks(const char* path, uint64_t size)
{
    sorvak::RiffReader reader;
    if (reader.open(path))
        return;
    sorvak::RiffChunk form;
    if (reader.descendIntoForm(sorvak::makeFourCC("WAVE"), form))
        return;
    for (sorvak::FourCC id : {sorvak::makeFourCC("fmt "), sorvak::makeFourCC("LIST"), sorvak::makeFourCC("data")}) {
        sorvak::RiffChunk chunk;
        if (reader.findChunk(form, id, chunk))
            continue;
        check(chunk.dataOffset <= size && chunk.availableSize <= size - chunk.dataOffset, "chunk inside the file");
        check(chunk.availableSize <= chunk.declaredSize, "available part within the declared size");
        unsigned char buffer[64];
        size_t got = 0;
        if (!reader.read(chunk, chunk.availableSize / 2, buffer, sizeof buffer, got))
            check(got <= sizeof buffer && got <= chunk.availableSize, "chunk read within bounds");
    }
}

void readSlot(const char* path, uint64_t size, const uint8_t* data)
{
    constexpr int kSlot = 3;
    WavFormat* format = OpenWAV(path, kSlot);
    if (!format) {
        CloseWAV(kSlot);
        return;
    }
    check(format->dataOffset <= size, "data offset inside the file");
    uint64_t available = size - format->dataOffset;
    uint64_t expected = available < format->dataLength ? available : format->dataLength;
    // Block sizes vary with the input, so odd sizes and sizes larger than the data both occur.
    int blockSize = 1 + static_cast<int>(size > 0 ? data[size - 1] : 0) * 37;
    std::string buffer(static_cast<size_t>(blockSize), '\0');
    uint64_t total = 0;
    for (int got; (got = ReadWAV(kSlot, blockSize, buffer.data())) > 0;) {
        check(got <= blockSize, "read no longer than asked");
        total += static_cast<uint64_t>(got);
    }
    check(total == expected, "whole read delivers exactly the data bytes present");
    uint32_t position = size >= 4 ? static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16) : 0;
    uint32_t set = SeekWAV(kSlot, position);
    check(set <= format->dataLength && set <= position, "seek lands inside the data, never forward");
    check(format->blockAlign == 0 || set % format->blockAlign == 0, "seek lands on a frame");
    check(ReadWAV(kSlot, blockSize, buffer.data()) <= blockSize, "read after seek within bounds");
    CloseWAV(kSlot);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const InputFile& file = inputFile();
    if (!replaceContent(file, data, size))
        return 0;
    walkChunks(file.path.c_str(), size);
    readSlot(file.path.c_str(), size, data);
    const WavFormat* probe = sorvak::probeWavFormat(file.path.c_str());
    check(!probe || probe->dataOffset <= size, "probe's data offset inside the file");
    return 0;
}
