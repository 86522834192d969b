#include "take/track_encoder_pool.h"

#include "take/pcm_wav.h"
#include "take/conversion_stages.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace wavelark {

namespace {

// The share of a job's progress before its encoding: the copy and the fade pass.
constexpr int kPreparedPercent = 20;

double threadProcessorSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

SaveResult cancelledJob(const TrackEncodingJob& job)
{
    return failedSave(SaveFailure::Conversion, "The file " + quotedPath(job.shownPath) + " could not be saved: the save was cancelled.");
}

// The toolkit's converters report through a callback without context: each worker runs one job
// at a time and names it here.
struct EncoderContext {
    TrackEncoderPool* pool = nullptr;
    std::atomic<int>* percent = nullptr;
};
thread_local EncoderContext t_encoder;

}

int encoderProgress(int percent)
{
    if (!t_encoder.pool)
        return 0;
    const int clamped = std::clamp(percent, 0, 100);
    t_encoder.percent->store(kPreparedPercent + clamped * (100 - kPreparedPercent) / 100);
    return t_encoder.pool->m_cancelled.load() ? 1 : 0;
}

TrackEncoderPool::TrackEncoderPool(std::vector<TrackEncodingJob> jobs, unsigned workers)
    : m_jobs(std::move(jobs))
    , m_states(new JobState[m_jobs.size()])
    , m_order(m_jobs.size())
{
    for (std::size_t index = 0; index < m_order.size(); ++index)
        m_order[index] = index;
    std::stable_sort(m_order.begin(), m_order.end(), [this](std::size_t first, std::size_t second) {
        return m_jobs[first].range.bytes() > m_jobs[second].range.bytes();
    });
    const std::size_t count = std::min<std::size_t>(std::max(workers, 1u), m_jobs.size());
    m_workers.reserve(count);
    for (std::size_t worker = 0; worker < count; ++worker)
        m_workers.emplace_back([this] { work(); });
}

TrackEncoderPool::~TrackEncoderPool()
{
    cancel();
    join();
}

void TrackEncoderPool::cancel()
{
    m_cancelled.store(true);
}

void TrackEncoderPool::join()
{
    for (std::thread& worker : m_workers)
        if (worker.joinable())
            worker.join();
}

bool TrackEncoderPool::allFinished() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_finishedCount == m_jobs.size();
}

std::vector<std::size_t> TrackEncoderPool::takeFinished(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_finishedChanged.wait_for(lock, timeout, [this] { return !m_finished.empty(); });
    std::vector<std::size_t> finished;
    finished.swap(m_finished);
    return finished;
}

void TrackEncoderPool::work()
{
    for (;;) {
        const std::size_t next = m_next.fetch_add(1);
        if (next >= m_order.size())
            return;
        const std::size_t index = m_order[next];
        const double start = threadProcessorSeconds();
        run(index);
        m_states[index].processorSeconds = threadProcessorSeconds() - start;
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_finished.push_back(index);
        ++m_finishedCount;
        m_finishedChanged.notify_all();
    }
}

void TrackEncoderPool::run(std::size_t index)
{
    const TrackEncodingJob& job = m_jobs[index];
    JobState& state = m_states[index];
    if (m_cancelled.load()) {
        state.result = cancelledJob(job);
        return;
    }
    SaveResult result = copyRangeToTemporaryWav(job.takePath, job.range, job.temporaryPath,
                                                [&state](int percent) { state.percent.store(percent * kPreparedPercent / 200); });
    if (result.ok() && !m_cancelled.load()) {
        const FadePassResult pass = fadeAndScale(job.temporaryPath, job.range, job.fades, job.gain, {},
            [&state](int percent) { state.percent.store(kPreparedPercent / 2 + percent * kPreparedPercent / 200); });
        result = pass.result;
    }
    if (result.ok() && m_cancelled.load())
        result = cancelledJob(job);
    if (!result.ok() || !encodesOnAnyThread(job.format)) {
        state.percent.store(result.ok() ? 100 : kPreparedPercent);
        state.result = result;
        return;
    }
    const SorvakTags tags = job.tags();
    t_encoder = EncoderContext{this, &state.percent};
    state.result = encodeSideFile(job.temporaryPath, job.sidePath, job.shownPath, job.format, job.quality, &tags,
                                  &encoderProgress, SavedPart::Track);
    t_encoder = EncoderContext{};
    // The temporary WAV is no longer needed once encoded; the window thread removes what is left.
    ::unlink(job.temporaryPath.c_str());
    state.percent.store(100);
}

}
