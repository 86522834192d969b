#include "private_pulse_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

extern char** environ;

namespace wavelark::testing {

namespace {

constexpr const char* kSinkName = "wavelark_null";

bool writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string commandOutput(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    if (!pipe)
        return output;
    std::array<char, 512> chunk;
    while (fgets(chunk.data(), static_cast<int>(chunk.size()), pipe.get()))
        output += chunk.data();
    return output;
}

}

PrivatePulseServer::~PrivatePulseServer()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    for (const auto& [name, value] : m_savedEnvironment) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}

void PrivatePulseServer::setEnvironment(const char* name, const std::string& value)
{
    if (!m_savedEnvironment.contains(name)) {
        const char* previous = std::getenv(name);
        m_savedEnvironment[name] = previous ? std::optional<std::string>(previous) : std::nullopt;
    }
    setenv(name, value.c_str(), 1);
}

bool PrivatePulseServer::start(const std::filesystem::path& folder, std::string& error)
{
    std::filesystem::path runtime = folder / "pulse-runtime";
    std::filesystem::path home = folder / "pulse-home";
    std::error_code failure;
    std::filesystem::create_directories(runtime, failure);
    std::filesystem::create_directories(home, failure);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace, failure);
    std::filesystem::path socket = runtime / "native";
    std::string sink = kSinkName;

    std::string script = "load-module module-null-sink sink_name=" + sink + " rate=44100 channels=2\n"
                         "load-module module-native-protocol-unix socket=" + socket.string() + " auth-anonymous=1\n"
                         "set-default-sink " + sink + "\n"
                         "set-default-source " + sink + ".monitor\n";
    // ALSA's own configuration first (it defines the pulse plugin), then its default device
    // pointed at the pulse plugin, whatever the machine's configuration says.
    std::string alsa = "</usr/share/alsa/alsa.conf>\n"
                       "pcm.!default { type pulse }\n"
                       "ctl.!default { type pulse }\n";
    if (!writeText(folder / "server.pa", script) || !writeText(folder / "asound.conf", alsa)) {
        error = "cannot write the server's files in " + folder.string();
        return false;
    }

    setEnvironment("XDG_RUNTIME_DIR", runtime.string());
    setEnvironment("PULSE_RUNTIME_PATH", runtime.string());
    setEnvironment("PULSE_STATE_PATH", (home / "state").string());
    setEnvironment("PULSE_SERVER", "unix:" + socket.string());
    setEnvironment("ALSA_CONFIG_PATH", (folder / "asound.conf").string());

    // The server runs as whoever we are; as root it warns that it is not meant to, and works.
    std::string log = (folder / "pulse.log").string();
    std::string scriptPath = (folder / "server.pa").string();
    std::vector<std::string> arguments = {"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                                          "--use-pid-file=no", "--system=no", "-n", "-F", scriptPath,
                                          "--log-target=stderr"};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::string homeVariable = "HOME=" + home.string();
    std::vector<char*> environment;
    for (char** variable = environ; *variable; ++variable) {
        if (std::string_view(*variable).starts_with("HOME="))
            continue;
        environment.push_back(*variable);
    }
    environment.push_back(homeVariable.data());
    environment.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    int spawned = posix_spawnp(&m_pid, "pulseaudio", &actions, nullptr, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        error = "cannot start pulseaudio (is the pulseaudio package installed?)";
        return false;
    }

    std::string expected = "Default Source: " + sink + ".monitor";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            error = "pulseaudio ended at start:\n" + commandOutput("cat '" + log + "'");
            return false;
        }
        if (std::filesystem::exists(socket) && commandOutput("pactl info 2>/dev/null").find(expected) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error = "pulseaudio did not answer within 20 s:\n" + commandOutput("cat '" + log + "'");
    return false;
}

}
