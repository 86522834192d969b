#include "capture_test_support.h"

#include "core/toolkit_binding.h"

#include <QApplication>
#include <QThread>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace wavelark::testing {

void ensureRecorderRuntime()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "capture-tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    if (g_toolkit.module)
        return;
    // By its full path: under the thread sanitizer dlopen runs from the sanitizer's library,
    // which does not see this program's RUNPATH.
    const ToolkitBindResult result = bindToolkit(WAVELARK_TOOLKIT_PATH);
    if (!result.ok())
        throw std::runtime_error("the toolkit could not be bound: " + result.loadError.toStdString() + " "
                                 + result.missingEntries.join(QLatin1Char(',')).toStdString());
}

CaptureFixtureState::CaptureFixtureState()
{
    ensureRecorderRuntime();
    paths.folder = QString::fromStdString(folder.path().string() + "/");
    settings = defaultSettings(paths.folder);
    settings.bufferSize = 8192;
    settings.bufferCount = 8;
}

void useTestDevice(const std::string& options)
{
    setenv("WAVELARK_AUDIO", options.c_str(), 1);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
    return done();
}

std::vector<int16_t> readSamples(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    for (std::size_t index = 0; index < samples.size(); ++index)
        samples[index] = static_cast<int16_t>(static_cast<uint8_t>(bytes[index * 2])
                                              | static_cast<uint8_t>(bytes[index * 2 + 1]) << 8);
    return samples;
}

void writeSamples(const std::string& path, const std::vector<int16_t>& samples)
{
    std::string bytes(samples.size() * 2, '\0');
    for (std::size_t index = 0; index < samples.size(); ++index) {
        bytes[index * 2] = static_cast<char>(samples[index] & 0xFF);
        bytes[index * 2 + 1] = static_cast<char>((samples[index] >> 8) & 0xFF);
    }
    writeFile(path, bytes);
}

}
