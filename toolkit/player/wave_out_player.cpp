// CreateWaveOut and the player's completion handling.
//
// The ring's first pass plays the silence the blocks start with; from then on every buffer that
// comes back from the device is refilled by the caller's fill function and written again, on the
// wave-out's worker thread. Closing stops the refills and waits until each buffer has come back
// once more.

#include "wave_out_player.h"

#include "player_message.h"

#include <QCoreApplication>
#include <QThread>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace sorvak::player {

namespace {

using namespace std::chrono_literals;

constexpr int kMinimumBuffers = 2;
constexpr int kMaximumBuffers = 16;

struct FreeBlock {
    void operator()(uint8_t* block) const { std::free(block); }
};

struct Player {
    int sampleRate = 0;
    int bufferSize = 0;
    int bufferCount = 0;
    SorvakFillFunction fill = nullptr;
    std::atomic<int> stopping{0};
    int closingCountdown = -1; // worker thread only: buffers still to retire during a close
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false; // guarded by doneMutex: the last buffer has retired
    std::array<wavelark::audio::WaveBuffer, kMaximumBuffers> headers{};
    std::array<std::unique_ptr<uint8_t[], FreeBlock>, kMaximumBuffers> blocks;
    std::unique_ptr<wavelark::audio::WaveOut> waveOut;
};

// The process's one player. The slot stays taken until a close has finished, so no second
// player can open while the first is still retiring its buffers.
std::mutex slotMutex;
Player* openedPlayer = nullptr; // guarded by slotMutex
bool closing = false;           // guarded by slotMutex

// Set on the worker thread while the player's completion handling runs, so that a close
// requested from inside the fill function is refused instead of waiting for itself.
thread_local bool inCompletion = false;

void retire(Player& player)
{
    if (player.closingCountdown == -1)
        player.closingCountdown = player.bufferCount;
    if (--player.closingCountdown == 0) {
        std::lock_guard lock(player.doneMutex);
        player.done = true;
        player.doneSignal.notify_all();
    }
}

// Runs on the wave-out's worker thread for every buffer the device has played (or handed back
// on a reset).
void bufferDone(Player& player, wavelark::audio::WaveBuffer& buffer)
{
    inCompletion = true;
    if (player.stopping.load(std::memory_order_acquire) == 0) {
        player.fill(buffer.data);
        player.waveOut->write(&buffer);
    } else {
        retire(player);
    }
    inCompletion = false;
}

bool onApplicationThread()
{
    QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

// Waits until every buffer has retired or the deadline has passed. On the application's thread
// it delivers blocking calls queued to it meanwhile, so a fill function that waits for this
// thread for a moment does not hold up the close for ever.
bool waitUntilDone(Player& player, std::chrono::steady_clock::time_point deadline)
{
    bool serveCalls = onApplicationThread();
    std::unique_lock lock(player.doneMutex);
    while (!player.done && std::chrono::steady_clock::now() < deadline) {
        if (!serveCalls) {
            player.doneSignal.wait_until(lock, deadline);
            continue;
        }
        player.doneSignal.wait_for(lock, 2ms);
        lock.unlock();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        lock.lock();
    }
    return player.done;
}

bool usableArguments(int sampleRate, int bufferSize, SorvakFillFunction fill)
{
    const char* problem = nullptr;
    if (sampleRate <= 0)
        problem = "the sample rate must be positive";
    else if (bufferSize <= 0 || bufferSize % static_cast<int>(wavelark::audio::kBytesPerFrame) != 0)
        problem = "the buffer size must be a positive whole number of 4-byte frames";
    else if (!fill)
        problem = "no fill function was given";
    if (problem)
        std::fprintf(stderr, "CreateWaveOut: %s\n", problem);
    return problem == nullptr;
}

}

void* openPlayer(int sampleRate, int bufferSize, int bufferCount, int deviceId, SorvakFillFunction fill)
{
    if (bufferCount < kMinimumBuffers || bufferCount > kMaximumBuffers) {
        showPlayerError("Number of Buffers Must be Between 2 and 16", "ERROR");
        return nullptr;
    }
    if (!usableArguments(sampleRate, bufferSize, fill))
        return nullptr;

    std::lock_guard slot(slotMutex);
    if (openedPlayer) {
        std::fprintf(stderr, "CreateWaveOut: a player is already open; close it first\n");
        return nullptr;
    }
    auto player = std::make_unique<Player>();
    player->sampleRate = sampleRate;
    player->bufferSize = bufferSize;
    player->bufferCount = bufferCount;
    player->fill = fill;
    for (int index = 0; index < bufferCount; ++index) {
        player->blocks[index].reset(static_cast<uint8_t*>(std::calloc(bufferSize, 1)));
        if (!player->blocks[index]) {
            std::fprintf(stderr, "CreateWaveOut: no memory for %d buffers of %d bytes\n", bufferCount, bufferSize);
            return nullptr;
        }
        player->headers[index] = {player->blocks[index].get(), static_cast<uint32_t>(bufferSize), 0, nullptr};
    }
    std::string error;
    Player* state = player.get();
    player->waveOut = wavelark::audio::openWaveOut(
        deviceId, sampleRate, [state](wavelark::audio::WaveBuffer& buffer) { bufferDone(*state, buffer); }, &error);
    if (!player->waveOut) {
        std::fprintf(stderr, "CreateWaveOut: %s\n", error.c_str());
        return nullptr;
    }
    // The blocks are still zero, so the first pass over the ring plays silence. They are
    // queued together, so none comes back to be refilled before the last is queued.
    if (!player->waveOut->write(std::span(player->headers.data(), static_cast<size_t>(bufferCount)))) {
        std::fprintf(stderr, "CreateWaveOut: the device refused the buffers\n");
        return nullptr;
    }
    openedPlayer = player.release();
    return openedPlayer;
}

void closePlayer(void* handle)
{
    if (inCompletion) {
        std::fprintf(stderr, "CreateWaveOut: a player cannot be closed from its own fill function\n");
        return;
    }
    Player* player = nullptr;
    {
        std::lock_guard slot(slotMutex);
        if (!handle || handle != openedPlayer || closing)
            return;
        closing = true;
        player = openedPlayer;
    }
    player->stopping.store(1, std::memory_order_release);
    player->waveOut->drain();
    // Every buffer comes back within one pass over the ring; the second allows for a slow fill
    // function or a busy sound server.
    auto ringTime = std::chrono::microseconds(int64_t{1'000'000} * player->bufferCount * player->bufferSize
                                              / (int64_t{player->sampleRate} * wavelark::audio::kBytesPerFrame));
    if (!waitUntilDone(*player, std::chrono::steady_clock::now() + ringTime + 1s)) {
        // The device has stopped handing buffers back: take them back at once.
        player->waveOut->reset();
    }
    player->waveOut->close();
    {
        std::lock_guard slot(slotMutex);
        openedPlayer = nullptr;
        closing = false;
    }
    delete player;
}

wavelark::audio::XrunCounts playerXrunCounts()
{
    std::lock_guard slot(slotMutex);
    return openedPlayer ? openedPlayer->waveOut->xrunCounts() : wavelark::audio::XrunCounts{};
}

}

SORVAK_API void* CreateWaveOut(int sampleRate, int bufferSize, int bufferCount, int deviceId,
                               SorvakFillFunction fill, void* device)
{
    if (device) {
        sorvak::player::closePlayer(device);
        return nullptr;
    }
    return sorvak::player::openPlayer(sampleRate, bufferSize, bufferCount, deviceId, fill);
}
