// Start-up time of a program: from starting the process to its first painted window. Built
// twice: for the recorder (recorder_startup_bench) and for the setup program (setup_startup_bench),
// named by WAVELARK_STARTUP_NAME; "program_kib" is the size of the program file.
//
// Each run starts the built program on Qt's offscreen platform with the test audio device, a
// fresh data folder and a settings file that skips the welcome dialog, and with
// WAVELARK_EXIT_AFTER_FIRST_PAINT=1, which makes the program print the time since its main()
// began when its window is first painted and then close in order. The benchmark's time is
// measured outside the program, from just before the spawn to that line; "in_program_ms" is the
// program's own figure (which leaves out loading the executable and Qt). Reported: the median of
// nine runs. Target: under 300 ms.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The settings file of a returning user: the defaults, without the welcome dialog.
void writeSettings(const std::filesystem::path& home, const std::string& archiveFolder)
{
    std::string bytes(3148, '\0');
    const auto put = [&bytes](std::size_t offset, int32_t value) { std::memcpy(bytes.data() + offset, &value, 4); };
    std::memcpy(bytes.data(), archiveFolder.c_str(), archiveFolder.size() + 1);
    put(2048, -1);
    put(2052, 8192);
    put(2056, 8);
    put(2080, 1);
    put(2084, 1);
    put(3120, 100);
    put(3124, 100);
    put(3140, -1);
    put(3144, 0);
    std::ofstream(home / "settings.dat", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Run {
    double wallMilliseconds = -1;
    double programMilliseconds = -1;
};

Run startOnce(const std::filesystem::path& root)
{
    std::vector<std::string> variables = {
        "WAVELARK_HOME=" + (root / "home").string(),   "XDG_DATA_HOME=" + (root / "data").string(),
        "XDG_CONFIG_HOME=" + (root / "config").string(), "XDG_RUNTIME_DIR=" + (root / "runtime").string(),
        "HOME=" + root.string(),                        "QT_QPA_PLATFORM=offscreen",
        "WAVELARK_AUDIO=test",                          "WAVELARK_EXIT_AFTER_FIRST_PAINT=1",
    };
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "WAVELARK_HOME" && name != "XDG_DATA_HOME" && name != "XDG_CONFIG_HOME" && name != "XDG_RUNTIME_DIR"
            && name != "HOME" && name != "QT_QPA_PLATFORM" && name != "WAVELARK_AUDIO" && name != "DISPLAY"
            && name != "WAYLAND_DISPLAY")
            variables.push_back(entry);
    }
    std::vector<char*> environment;
    for (std::string& variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);

    int output[2];
    if (pipe(output) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    char program[] = WAVELARK_PROGRAM;
    char* arguments[] = {program, nullptr};

    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program, &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        return {};
    }
    Run run;
    std::string line;
    char byte = 0;
    while (read(output[0], &byte, 1) == 1) {
        if (byte != '\n') {
            line += byte;
            continue;
        }
        if (line.rfind("first paint after ", 0) == 0) {
            run.wallMilliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
            run.programMilliseconds = std::strtod(line.c_str() + std::strlen("first paint after "), nullptr);
            break;
        }
        line.clear();
    }
    // Drain until the program has closed in order.
    while (read(output[0], &byte, 1) == 1) {
    }
    close(output[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        run.wallMilliseconds = -1;
    return run;
}

#ifndef WAVELARK_STARTUP_NAME
#define WAVELARK_STARTUP_NAME "RecorderStartupToFirstPaint"
#endif

void StartupToFirstPaint(benchmark::State& state)
{
    char pattern[] = "/tmp/wavelark-startup-XXXXXX";
    if (!mkdtemp(pattern)) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    const std::filesystem::path root = pattern;
    for (const char* folder : {"home", "data", "config", "runtime", "Music"})
        std::filesystem::create_directories(root / folder);
    std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    writeSettings(root / "home", (root / "Music").string() + "/");
    // One start outside the measurement warms the file cache.
    startOnce(root);

    double programTotal = 0;
    for (auto _ : state) {
        const Run run = startOnce(root);
        if (run.wallMilliseconds < 0) {
            state.SkipWithError("the program did not paint its window and close in order");
            break;
        }
        state.SetIterationTime(run.wallMilliseconds / 1000.0);
        programTotal += run.programMilliseconds;
    }
    state.counters["in_program_ms"] = benchmark::Counter(programTotal / static_cast<double>(state.iterations()));
    state.counters["program_kib"] = benchmark::Counter(static_cast<double>(std::filesystem::file_size(WAVELARK_PROGRAM)) / 1024.0);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

BENCHMARK(StartupToFirstPaint)
    ->Name(WAVELARK_STARTUP_NAME)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}

BENCHMARK_MAIN();
