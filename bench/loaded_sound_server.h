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
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

namespace wavelark::bench {

class CoreLoad {
public:
    CoreLoad()
    {
        const pid_t parent = getpid();
        for (pid_t& pid : m_pids) {
            pid = fork();
            if (pid != 0)
                continue;
            // The load goes with the benchmark, also when the benchmark is killed.
            if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
                _exit(1);
            int output = open("/dev/null", O_WRONLY);
            if (output < 0 || dup2(output, STDOUT_FILENO) < 0)
                _exit(1);
            execlp("sha256sum", "sha256sum", "/dev/zero", static_cast<char*>(nullptr));
            _exit(127);
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
