// Benchmarks measured beside a peer program in the same run: each body runs once per iteration,
// timed by hand (UseManualTime), with its processor time (this process and the commands it ran,
// user and system), a steadier measure than the wall clock on a shared machine. A peer's mean
// times are kept under its name; a body compared with that peer gets peer_ratio (wall clock) and
// peer_cpu_ratio counters. Register the peer's benchmark before the ones compared with it.
//
// runWithToolkit is the benchmarks' main that binds the toolkit first.
#pragma once

#include "core/toolkit_binding.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

namespace wavelark::bench {

struct PeerTimes {
    double seconds = 0.0;
    double cpuSeconds = 0.0;
};

inline std::map<std::string, PeerTimes>& peerTimes()
{
    static std::map<std::string, PeerTimes> times;
    return times;
}

inline double processorSeconds()
{
    double seconds = 0.0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        seconds += usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

// Runs body once per iteration and returns the mean times; isPeer keeps them as peer's, otherwise
// they are compared with peer's when it ran.
template <typename Body>
PeerTimes timedBesidePeer(benchmark::State& state, const std::string& peer, bool isPeer, Body body)
{
    PeerTimes total;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processorSeconds();
        body();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        total.cpuSeconds += processorSeconds() - cpuStart;
        state.SetIterationTime(seconds);
        total.seconds += seconds;
    }
    const double runs = static_cast<double>(state.iterations());
    const PeerTimes mean{total.seconds / runs, total.cpuSeconds / runs};
    state.counters["cpu_s"] = mean.cpuSeconds;
    if (isPeer) {
        peerTimes()[peer] = mean;
    } else if (const auto found = peerTimes().find(peer); found != peerTimes().end()) {
        state.counters["peer_ratio"] = mean.seconds / found->second.seconds;
        state.counters["peer_cpu_ratio"] = mean.cpuSeconds / found->second.cpuSeconds;
    }
    return mean;
}

// Binds the toolkit at WAVELARK_TOOLKIT_PATH, runs prepare (the benchmarks' shared input, made
// before any is timed), then the benchmarks. The caller creates the Qt application first.
inline int runWithToolkit(int argc, char** argv, const std::function<void()>& prepare)
{
    const ToolkitBindResult bound = bindToolkit(WAVELARK_TOOLKIT_PATH);
    if (!bound.ok()) {
        std::fprintf(stderr, "the toolkit could not be bound: %s\n", bound.loadError.toUtf8().constData());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    prepare();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}
