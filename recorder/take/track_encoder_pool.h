// The parallel part of saving every track of a side: each track's range of the take is copied
// into its own temporary WAV, faded at its cuts and scaled by the side's gain, and, for a format
// that encodes on any thread (MP3, WMA, FLAC: encodesOnAnyThread), encoded with its tags into its
// side file beside the archive file (encodeSideFile, take/conversion_stages.h; a FLAC file is
// read back there too, as it is written). A pool of worker threads takes the tracks in order, one
// at a time each, so that every core encodes. What follows an encoding (checkSideFile, whose
// toolkit reader serves one thread at a time, and the rename into place) and WAV's conversion are
// the window thread's. The longest tracks are handed out first, so that no worker is left with a
// long one at the end.
//
// Thread: the pool is made, asked and cancelled on one thread (the window thread); its workers
// run the jobs and touch nothing but their own job's files and state. The toolkit must be bound.
// Ownership: the pool owns the jobs; the destructor cancels what is left and joins the workers.
// Errors: each job ends in a SaveResult; a cancelled job ends in a Conversion failure and leaves
// no side file.
#pragma once

#include "take/fade_pass.h"
#include "take/save_conversion.h"
#include "take/save_result.h"

#include "sorvak.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wavelark {

struct TrackEncodingJob {
    std::string takePath;
    std::string temporaryPath;  // the track's own temporary WAV
    std::string sidePath;       // where the encoder writes (sidePathOf the archive file)
    std::string shownPath;      // the archive file, as messages name it
    SaveRange range;
    FadeSettings fades;
    double gain = 1.0;          // the side's maximise gain
    SaveFormat format = SaveFormat::Mp3;
    SaveQuality quality = SaveQuality::High;
    // The tags (UTF-8; empty ones are left out).
    std::string title;
    std::string artist;
    std::string album;
    std::string year;
    int trackNumber = 0;
    int trackCount = 0;
    // The tags as the encoders take them; valid while the job is.
    SorvakTags tags() const
    {
        return SorvakTags{title.c_str(), artist.c_str(), album.c_str(), year.c_str(), trackNumber, trackCount};
    }
};

class TrackEncoderPool {
public:
    // Starts min(workers, jobs) threads at once (at least one).
    TrackEncoderPool(std::vector<TrackEncodingJob> jobs, unsigned workers);
    ~TrackEncoderPool();
    TrackEncoderPool(const TrackEncoderPool&) = delete;
    TrackEncoderPool& operator=(const TrackEncoderPool&) = delete;

    // Jobs not yet started are not started; running ones stop at their next block or progress
    // call. Returns at once.
    void cancel();
    bool cancelled() const { return m_cancelled.load(); }
    // Waits up to timeout for jobs to finish and returns those that finished since the last call,
    // in the order they finished.
    std::vector<std::size_t> takeFinished(std::chrono::milliseconds timeout);
    bool allFinished() const;
    // Waits until the workers have ended.
    void join();

    std::size_t size() const { return m_jobs.size(); }
    const TrackEncodingJob& job(std::size_t index) const { return m_jobs[index]; }
    // The job's progress, 0..100 (for WAV, 100 once it is ready for the conversion).
    int percent(std::size_t index) const { return m_states[index].percent.load(); }
    // Valid once the job was handed out by takeFinished.
    const SaveResult& result(std::size_t index) const { return m_states[index].result; }
    // The processor time the job's worker spent on it, in seconds; valid as result is.
    double processorSeconds(std::size_t index) const { return m_states[index].processorSeconds; }

private:
    struct JobState {
        std::atomic<int> percent{0};
        SaveResult result;
        double processorSeconds = 0.0;
    };
    void work();
    void run(std::size_t index);
    friend int encoderProgress(int percent);

    std::vector<TrackEncodingJob> m_jobs;
    std::unique_ptr<JobState[]> m_states;
    std::vector<std::size_t> m_order;  // job indices, the longest range first
    std::atomic<std::size_t> m_next{0};
    std::atomic<bool> m_cancelled{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    std::vector<std::size_t> m_finished;  // guarded by m_mutex
    std::size_t m_finishedCount = 0;      // guarded by m_mutex
    std::vector<std::thread> m_workers;
};

}
