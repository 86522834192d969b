// Rips a 5-minute track (22,500 sectors) from the emulated drive, each command taking 1 ms as
// a drive's round trip does, once with one sector a READ CD and once with up to 27. Reports the
// time and the commands of each, and checks that both files hold the same bytes.

#include "cdaudio/cd_ripper.h"
#include "emulated_drive.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

constexpr const char* kDisc = "emulated:tracks=00:02:00;leadout=05:02:00;delay=1";

struct RipRun {
    double seconds = 0;
    uint64_t commands = 0;
    std::string bytes;
};

std::map<uint32_t, RipRun> g_runs;  // by sectors a command

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ripFiveMinutes(benchmark::State& state)
{
    uint32_t sectorsPerRead = static_cast<uint32_t>(state.range(0));
    std::string destination = "/tmp/wavelark-cd-bench-" + std::to_string(getpid()) + ".wav";
    sorvak::cd::RipLimits limits;
    limits.sectorsPerRead = sectorsPerRead;
    RipRun run;
    for (auto _ : state) {
        uint64_t before = wavelark::scsi::emulatedCommandCount("/dev/sr0");
        auto started = std::chrono::steady_clock::now();
        int result = sorvak::cd::ripTrack("/dev/sr0/Track01.cda", destination.c_str(), nullptr, limits);
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        run.commands = wavelark::scsi::emulatedCommandCount("/dev/sr0") - before;
        if (result != 0) {
            state.SkipWithError("the rip failed");
            return;
        }
    }
    run.bytes = fileBytes(destination);
    std::remove(destination.c_str());
    state.counters["commands"] = static_cast<double>(run.commands);
    state.counters["MB"] = static_cast<double>(run.bytes.size()) / 1e6;
    state.counters["x_realtime"] = 300.0 / run.seconds;
    g_runs[sectorsPerRead] = std::move(run);
}

BENCHMARK(ripFiveMinutes)->Arg(1)->Arg(27)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}

int main(int argc, char** argv)
{
    setenv("WAVELARK_CD", kDisc, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_runs.count(1) && g_runs.count(27)) {
        const RipRun& single = g_runs[1];
        const RipRun& batched = g_runs[27];
        std::printf("5-minute track at 1 ms a command: %llu commands in %.2f s one sector a command, "
                    "%llu commands in %.2f s up to 27 (%.1fx fewer commands, %.1fx faster); same bytes: %s\n",
                    static_cast<unsigned long long>(single.commands), single.seconds,
                    static_cast<unsigned long long>(batched.commands), batched.seconds,
                    static_cast<double>(single.commands) / static_cast<double>(batched.commands),
                    single.seconds / batched.seconds,
                    single.bytes == batched.bytes && !single.bytes.empty() ? "yes" : "NO");
        return single.bytes == batched.bytes ? 0 : 1;
    }
    return 0;
}
