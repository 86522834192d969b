// Benchmarks of the real sound path on a loaded machine: a private PulseAudio server with a null
// sink, reached through PortAudio, while two processes keep a core each busy.
#pragma once

#include "private_pulse_server.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

extern char** environ;

namespace wavelark::bench {

class CoreLoad {
public:
    CoreLoad()
    {
        for (pid_t& pid : m_pids) {
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            char program[] = "sha256sum";
            char input[] = "/dev/zero";
            char* argv[] = {program, input, nullptr};
            if (posix_spawnp(&pid, program, &actions, nullptr, argv, environ) != 0)
                pid = -1;
            posix_spawn_file_actions_destroy(&actions);
        }
    }
    ~CoreLoad()
    {
        for (pid_t pid : m_pids) {
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        }
    }
    CoreLoad(const CoreLoad&) = delete;
    CoreLoad& operator=(const CoreLoad&) = delete;

private:
    std::array<pid_t, 2> m_pids{-1, -1};
};

// Runs the registered benchmarks (benchmark::Initialize done) on a private sound server with
// both cores loaded; the process's exit code.
inline int runOnLoadedSoundServer(const char* name)
{
    std::string root = (std::filesystem::temp_directory_path() / "wavelark-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    int result = 0;
    {
        testing::PrivatePulseServer server;
        std::string error;
        if (!server.start(root, error)) {
            std::fprintf(stderr, "%s: %s\n", name, error.c_str());
            result = 1;
        } else {
            setenv("WAVELARK_AUDIO", "portaudio", 1);
            CoreLoad load;
            benchmark::RunSpecifiedBenchmarks();
        }
    }
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return result;
}

}
