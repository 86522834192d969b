// The read-back of a FLAC file against the samples it was made from: the file is decoded with
// libFLAC and every sample compared, and the MD5 signature its STREAMINFO holds is compared with
// the MD5 of those samples, so a save counts only when the file holds exactly its source.
//
// The read-back can follow the encoder while it writes (FlacReadBack), decoding on a thread of its
// own what has been written so far, so that on two cores it costs little more time than the
// encoding itself; or run on a finished file (flacDifference).
//
// Thread: a FlacReadBack is made, told and finished on one thread (the writer's); its decoding
// runs on its own thread. flacDifference waits for its decoding thread.
// Errors: nothing when the file matches, else what differs, in words fit for a message.
#pragma once

#include "take/pcm_blocks.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace wavelark {

// The checks made on the file at path against the 16-bit stereo frames of expected: the stream
// must be 44100 Hz, 16-bit, two channels, hold exactly expected's frames, each sample equal to the
// source's, and its final STREAMINFO must state that frame count and an MD5 signature equal to
// that of the source's bytes. A file that cannot be decoded, or is damaged, is a difference too.
class FlacReadBack {
public:
    // Starts decoding path, which the writer creates or truncates and then writes in order (only
    // its first 42 bytes, the marker and STREAMINFO, may be rewritten at its end). expected must
    // stay open until finish.
    FlacReadBack(const std::string& path, const PcmRegion& expected);
    // Finishes as finish(false) would when finish was not called.
    ~FlacReadBack();
    FlacReadBack(const FlacReadBack&) = delete;
    FlacReadBack& operator=(const FlacReadBack&) = delete;

    // The writer has written more: the decoder may read on.
    void written();
    // The writer has ended: when it succeeded, waits for the decoder to read the file to its end
    // and gives the difference found (nothing when the file matches); when it failed, stops the
    // decoder and gives nothing.
    std::optional<std::string> finish(bool writerSucceeded);

    struct Shared;

private:
    std::unique_ptr<Shared> m_shared;
    std::thread m_thread;
    bool m_finished = false;
};

// The same checks on a finished file.
std::optional<std::string> flacDifference(const std::string& path, const PcmRegion& expected);

}
