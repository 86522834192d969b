// The installed recorder run from its install folder: it loads the toolkit and the encoder
// library from beside itself and keeps its settings there; its toolkit writes an MP3 that
// ffprobe reads; a recorder that lacks a system library is reported by name.

#include "install_files.h"
#include "installed_program.h"
#include "setup_payload.h"

#include "recorder_test_support.h"

#include "sorvak.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <dlfcn.h>
#include <signal.h>

namespace wavelark::setup {
namespace {

namespace fs = std::filesystem;

// The files the process maps, one per line of /proc/<pid>/maps.
std::string mappedFiles(qint64 processId)
{
    return testing::readFile("/proc/" + std::to_string(processId) + "/maps");
}

// True when the process is gone or only waits to be reaped (it was started detached: its parent
// is whoever adopts orphans).
bool ended(qint64 processId)
{
    const std::string status = testing::readFile("/proc/" + std::to_string(processId) + "/stat");
    const std::size_t name = status.rfind(')');
    return name == std::string::npos || status.compare(name, 4, ") Z ") == 0;
}

// Unsets WAVELARK_HOME while it lives, so a started recorder finds its data folder itself.
class NoDataFolderOverride {
public:
    NoDataFolderOverride()
        : m_home(std::getenv("WAVELARK_HOME") ? std::getenv("WAVELARK_HOME") : "")
    {
        unsetenv("WAVELARK_HOME");
    }
    ~NoDataFolderOverride() { setenv("WAVELARK_HOME", m_home.c_str(), 1); }

private:
    std::string m_home;
};

class InstalledRecorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        const auto failure = installFiles(folder(), payloadFiles());
        ASSERT_FALSE(failure) << failure->reason.toStdString();
    }
    void TearDown() override
    {
        if (m_processId > 0) {
            ::kill(static_cast<pid_t>(m_processId), SIGKILL);
            EXPECT_TRUE(QTest::qWaitFor([&] { return ended(m_processId); }, 5000));
        }
    }
    QString folder() const { return QString::fromStdString((m_chosen.path() / "Wavelark").string()) + QLatin1Char('/'); }
    fs::path path(const char* name) const { return m_chosen.path() / "Wavelark" / name; }

    testing::TemporaryFolder m_chosen;
    qint64 m_processId = 0;
};

TEST_F(InstalledRecorder, StartsFromItsFolderWithItsToolkitAndEncoderBesideItAndKeepsItsSettingsThere)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' runtime makes the dlopen call, and it does not see the recorder's run path:
    // a sanitizer build of the recorder finds no toolkit by name.
    GTEST_SKIP() << "the recorder loads its toolkit by name, which a sanitizer build cannot";
#endif
    ProgramStart start;
    {
        NoDataFolderOverride noOverride;
        start = startInstalledProgram(folder());
    }
    ASSERT_TRUE(start.started) << start.reason.toStdString();
    m_processId = start.processId;
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(path("settings.dat")); }, 20000));
    EXPECT_EQ(fs::file_size(path("settings.dat")), 3148u);
    // The toolkit loads the encoder library beside it as it is loaded itself (FFmpeg may map the
    // system's copy too, for its own use).
    ASSERT_TRUE(QTest::qWaitFor([&] { return mappedFiles(m_processId).find(path("libmp3lame.so.0").string()) != std::string::npos; }, 10000));
    const std::string maps = mappedFiles(m_processId);
    EXPECT_NE(maps.find(path("wavelark").string()), std::string::npos);
    EXPECT_NE(maps.find(path("libsorvak.so").string()), std::string::npos);
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(m_processId) + "/cwd"), m_chosen.path() / "Wavelark");

    // Installing again while it runs replaces its files ("text file busy" never happens: the
    // new program is renamed over the running one).
    EXPECT_FALSE(installFiles(folder(), payloadFiles()));
    EXPECT_TRUE(fs::exists(path("settings.dat")));
}

TEST_F(InstalledRecorder, ItsToolkitEncodesAnMp3WithTheEncoderLibraryBesideIt)
{
    // A second of a 1 kHz tone at half scale behind a canonical 44-byte PCM header.
    const std::string wav = (m_chosen.path() / "tone.wav").string();
    const std::string mp3 = (m_chosen.path() / "tone.mp3").string();
    std::string samples;
    for (int frame = 0; frame < 44100; ++frame) {
        const auto value = static_cast<int16_t>(std::lround(16383.0 * std::sin(2.0 * M_PI * 1000.0 * frame / 44100.0)));
        for (int channel = 0; channel < 2; ++channel)
            samples.append(reinterpret_cast<const char*>(&value), 2);
    }
    const auto field = [](uint32_t value, int bytes) { return std::string(reinterpret_cast<const char*>(&value), bytes); };
    const auto dataSize = static_cast<uint32_t>(samples.size());
    testing::writeFile(wav, "RIFF" + field(dataSize + 36, 4) + "WAVEfmt " + field(16, 4) + field(1, 2) + field(2, 2)
                                + field(44100, 4) + field(44100 * 4, 4) + field(4, 2) + field(16, 2) + "data"
                                + field(dataSize, 4) + samples);

    void* toolkit = dlopen(path("libsorvak.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(toolkit, nullptr) << dlerror();
    auto encode = reinterpret_cast<decltype(&WAV2MP3)>(dlsym(toolkit, "WAV2MP3"));
    ASSERT_NE(encode, nullptr);
    // The encoder library came from beside the toolkit, not from the system's folder.
    const std::string maps = mappedFiles(::getpid());
    EXPECT_NE(maps.find(path("libmp3lame.so.0").string()), std::string::npos);
    EXPECT_EQ(encode(wav.c_str(), mp3.c_str(), 128, 44100, nullptr), 0);
    // The toolkit stays loaded: unloaded, what it keeps for the process would count as leaked.
    ASSERT_TRUE(fs::exists(mp3));

    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name,sample_rate,channels:format=duration"), QStringLiteral("-of"),
                 QStringLiteral("default=noprint_wrappers=1"), QString::fromStdString(mp3)});
    ASSERT_TRUE(probe.waitForFinished(20000));
    const QString report = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("codec_name=mp3"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("sample_rate=44100"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("channels=2"))) << report.toStdString();
    const auto duration = report.section(QStringLiteral("duration="), 1).section(QLatin1Char('\n'), 0, 0).toDouble();
    EXPECT_NEAR(duration, 1.0, 0.1) << report.toStdString();
}

TEST(MissingLibraries, AreNamedAsTheProgramAsksForThem)
{
    EXPECT_EQ(missingLibraries(QStringLiteral(SETUP_NEEDS_ABSENT)), QStringList{QStringLiteral("libsetup_test_absent.so")});
    EXPECT_EQ(missingLibraries(QStringLiteral("/bin/sh")), QStringList{});
}

TEST(MissingLibraries, AProgramThatLacksOneIsNotStartedAndTheReasonNamesIt)
{
    testing::TemporaryFolder folder;
    fs::copy_file(SETUP_NEEDS_ABSENT, folder.path() / "wavelark");
    const ProgramStart start = startInstalledProgram(QString::fromStdString(folder.path().string()) + QLatin1Char('/'));
    EXPECT_FALSE(start.started);
    EXPECT_EQ(start.processId, 0);
    EXPECT_TRUE(start.reason.contains(QStringLiteral("libsetup_test_absent.so"))) << start.reason.toStdString();
}

}
}
