// A private PulseAudio server for tests and benchmarks of the real sound path: a null sink whose
// monitor is the default source, reachable only through a socket in a folder of the caller's.
// While it runs, this process's environment points libpulse and ALSA (whose default device
// becomes the pulse plugin) at it, so PortAudio plays into the sink and records its monitor.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace wavelark::testing {

class PrivatePulseServer {
public:
    PrivatePulseServer() = default;
    // Ends the server and gives the environment back.
    ~PrivatePulseServer();
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    // Starts the server with its files in folder and waits until it answers; on failure says why.
    bool start(const std::filesystem::path& folder, std::string& error);

private:
    void setEnvironment(const char* name, const std::string& value);

    pid_t m_pid = -1;
    std::map<std::string, std::optional<std::string>> m_savedEnvironment;
};

}
