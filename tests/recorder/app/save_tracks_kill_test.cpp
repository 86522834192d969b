// Save Tracks killed in the middle: the recorder runs as a child process over a side with three
// marked songs, chooses "File" > "Save Tracks..." and saves the dialog as it opens; once an
// encoder writes its side file the child is killed. The next start removes the batch's side
// files and temporary WAVs, keeps the tracks already in place, and names every file not written.

#include "recorder_test_support.h"

#include "core/data_folders.h"

#include "tracks/marker_file.h"
#include "tracks/track_markers.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

namespace wavelark {
namespace {

namespace fs = std::filesystem;

constexpr double kSongSeconds = 60.0;

class SaveTracksProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WAVELARK_TEST_MESSAGES"), QString::fromStdString(m_files.file("messages")));
        environment.insert(QStringLiteral("WAVELARK_TEST_READY"), QString::fromStdString(m_files.file("ready")));
        m_process.setProcessEnvironment(environment);
        m_process.setProgram(QStringLiteral(WAVELARK_RECORDER_CHILD));
    }
    void TearDown() override
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    std::string messages() const { return testing::readFile(m_files.path() / "messages"); }
    fs::path music() const { return m_home.musicFolder(); }
    std::vector<std::string> musicNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(music()))
            names.push_back(entry.path().filename().string());
        return names;
    }
    bool musicHolds(const std::string& part) const
    {
        const std::vector<std::string> names = musicNames();
        return std::ranges::any_of(names, [&](const std::string& name) { return name.find(part) != std::string::npos; });
    }
    // Three minute-long songs of a tone after half a second of silence each, marked at their starts.
    void writeSide()
    {
        std::vector<int16_t> take;
        std::vector<uint64_t> starts;
        for (int song = 0; song < 3; ++song) {
            take.insert(take.end(), 44100, 0);
            starts.push_back(take.size() / 2);
            for (int frame = 0; frame < int(kSongSeconds * 44100); ++frame) {
                const auto sample = static_cast<int16_t>(9000 * std::sin(2 * M_PI * 330.0 * (song + 1) * frame / 44100));
                take.insert(take.end(), {sample, sample});
            }
        }
        std::string bytes(take.size() * 2, '\0');
        std::memcpy(bytes.data(), take.data(), bytes.size());
        testing::writeFile(m_home.home() / "recording.raw", bytes);
        TrackMarkers markers(bytes.size());
        for (const uint64_t start : starts)
            markers.add(start);
        DataPaths paths;
        paths.folder = QString::fromStdString(m_home.home().string() + "/");
        ASSERT_FALSE(writeMarkers(markersPathFor(paths), markers, std::string()));
    }

    testing::RecorderHome m_home;
    testing::TemporaryFolder m_files;
    QProcess m_process;
};

TEST_F(SaveTracksProcess, AKillInTheMiddleIsClearedAtTheNextStartWhichNamesTheFilesNotWritten)
{
    testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
    settings.putInt(3144, 0);  // past the first start
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    fs::create_directories(music());
    writeSide();

    QProcessEnvironment environment = m_process.processEnvironment();
    environment.insert(QStringLiteral("WAVELARK_TEST_SAVE_TRACKS"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    m_process.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return musicHolds(".part"); }, 30000))
        << messages() << m_process.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_TRUE(fs::exists(m_home.home() / "saving.mark"));

    environment.remove(QStringLiteral("WAVELARK_TEST_SAVE_TRACKS"));
    m_process.setProcessEnvironment(environment);
    fs::remove(m_files.path() / "messages");
    fs::remove(m_files.path() / "ready");
    m_process.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(m_files.path() / "ready"); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::ranges::count(messages(), '\n') >= 2; }, 5000));
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    ASSERT_TRUE(m_process.waitForFinished(20000));

    const std::string said = messages();
    EXPECT_EQ(said.rfind("SAVE TRACKS\nThe last Save Tracks was interrupted before it was finished", 0), 0u) << said;
    // Every file of the batch not in the folder is named, the cue sheet and playlist among them.
    for (const char* name : {"01 Track 01.mp3", "02 Track 02.mp3", "03 Track 03.mp3", "Side.cue", "Side.m3u8"}) {
        const bool written = fs::exists(music() / name);
        EXPECT_EQ(said.find(std::string("\"") + name + "\"") != std::string::npos, !written) << name << "\n" << said;
    }
    EXPECT_FALSE(musicHolds(".part"));
    EXPECT_FALSE(fs::exists(m_home.home() / "saving.mark"));
    for (const auto& entry : fs::directory_iterator(m_home.home()))
        EXPECT_FALSE(entry.path().filename().string().starts_with("temp")) << entry.path();
}

}
}
