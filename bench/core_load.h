// Two processes that keep a core each busy for as long as they live, for benchmarks of the
// real-time paths on a loaded machine.
#pragma once

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

}
