// The program as a separate process: the single-instance guard, the orderly close on SIGTERM and
// the start after a recording that was killed before its stop processing.

#include "recorder_test_support.h"

#include "app/instance_guard.h"
#include "audio/capture_scaling.h"
#include "app/messages.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <vector>

namespace wavelark {
namespace {

class RecorderProcess : public ::testing::Test {
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
    QString dataFolder() const { return QString::fromStdString(m_home.home().string() + "/"); }

    testing::RecorderHome m_home;
    testing::TemporaryFolder m_files;
    QProcess m_process;
};

TEST_F(RecorderProcess, SecondInstanceShowsAlreadyRunningAndTouchesNoFile)
{
    InstanceGuard first;
    ASSERT_TRUE(first.acquire(dataFolder()));
    m_process.start();
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
    QString text = QString::fromLatin1(kAlreadyRunningText);
    text.replace(QLatin1Char('\n'), QLatin1Char('|'));
    EXPECT_EQ(messages(), std::string(kAlreadyRunningCaption) + "\n" + text.toStdString() + "\n");
    // The lock file is the only thing in the data folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_home.home()), {}), 1);
    EXPECT_FALSE(std::filesystem::exists(m_home.musicFolder()));
}

// Two copies with runtime folders of their own still share the data folder, and so its take.
TEST_F(RecorderProcess, ASecondInstanceOnTheSameDataFolderIsRefusedWhateverItsRuntimeFolder)
{
    std::filesystem::create_directories(m_home.home());
    InstanceGuard first;
    ASSERT_TRUE(first.acquire(dataFolder()));
    QProcessEnvironment environment = m_process.processEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(m_files.path().string()));
    m_process.setProcessEnvironment(environment);
    m_process.start();
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_EQ(messages().substr(0, std::string(kAlreadyRunningCaption).size()), kAlreadyRunningCaption);
    EXPECT_FALSE(std::filesystem::exists(m_home.settingsPath()));
}

// A runtime folder that cannot hold a lock is passed over; a data folder that cannot hold one
// stops the program with the reasons for both, and says nothing about another instance.
TEST_F(RecorderProcess, AnUnusableRuntimeFolderIsPassedOverButAnUnusableDataFolderStopsTheProgram)
{
    testing::writeFile(m_files.path() / "runtime-file", "x");
    QProcessEnvironment environment = m_process.processEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(m_files.file("runtime-file")));
    m_process.setProcessEnvironment(environment);
    m_process.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(m_files.path() / "ready"); }, 20000))
        << messages() << m_process.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_EQ(messages().find(kAlreadyRunningCaption), std::string::npos) << messages();

    std::filesystem::remove(m_files.path() / "messages");
    environment.insert(QStringLiteral("WAVELARK_HOME"), QString::fromStdString(m_files.file("runtime-file") + "/home"));
    m_process.setProcessEnvironment(environment);
    m_process.start();
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitCode(), 1);
    const std::string text = messages();
    EXPECT_EQ(text.rfind(std::string(kInstanceLockFailureCaption) + "\n", 0), 0u) << text;
    EXPECT_NE(text.find(m_files.file("runtime-file") + "/home/.wavelark.lock could not be created"), std::string::npos)
        << text;
    EXPECT_NE(text.find(m_files.file("runtime-file") + "/" + kInstanceLockName + " could not be created"),
              std::string::npos)
        << text;
}

// The runtime folder as a file, and one no process may write in: each copy carries on with the
// data folder's lock alone, which still keeps two copies on one data folder apart.
class UnusableRuntimeFolder : public ::testing::TestWithParam<const char*> {};

TEST_P(UnusableRuntimeFolder, TheDataFolderLockAloneKeepsTwoCopiesApart)
{
    testing::TemporaryFolder folders;
    testing::writeFile(folders.path() / "a-file", "x");
    const std::string runtime = GetParam()[0] == '/' ? std::string(GetParam()) : folders.file(GetParam());
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
    std::filesystem::create_directories(folders.path() / "data");
    std::filesystem::create_directories(folders.path() / "other");
    const QString data = QString::fromStdString(folders.file("data") + "/");
    QString problem = QStringLiteral("unset");

    InstanceGuard first;
    EXPECT_TRUE(first.acquire(data, &problem)) << problem.toStdString();
    EXPECT_TRUE(problem.isEmpty());
    InstanceGuard second;
    EXPECT_FALSE(second.acquire(data, &problem));
    EXPECT_TRUE(problem.isEmpty()) << "held by the first: " << problem.toStdString();
    InstanceGuard elsewhere;
    EXPECT_TRUE(elsewhere.acquire(QString::fromStdString(folders.file("other") + "/"), &problem));
    InstanceGuard unguarded;
    EXPECT_FALSE(unguarded.acquire(QString::fromStdString(folders.file("a-file") + "/data/"), &problem));
    EXPECT_NE(problem.indexOf(InstanceGuard::lockPath()), -1) << problem.toStdString();
    EXPECT_NE(problem.indexOf(QLatin1String(kDataFolderLockName)), -1) << problem.toStdString();
    qputenv("XDG_RUNTIME_DIR", previous);
}

INSTANTIATE_TEST_SUITE_P(Folders, UnusableRuntimeFolder, ::testing::Values("a-file", "/proc"),
                         [](const auto& info) { return std::string(info.index == 0 ? "AFile" : "ReadOnly"); });

std::string sampleBytes(const std::vector<int16_t>& samples)
{
    std::string bytes(samples.size() * 2, '\0');
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<int16_t> bytesSamples(const std::string& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// A recording killed part-way leaves its mark, the take up to its last buffer (never maximised)
// and the earlier take's wd.dat. An import killed part-way leaves a mark saying so ("import", and
// "replaced" from just before its audio is renamed over the take), and its side file while its
// audio has not yet replaced the take.
struct InterruptedRecording {
    const char* name;
    int frames;           // of the ramp in the take; -1: no take file at all
    const char* mark;     // the mark's content
    bool importSide;      // the import's side file is still there
    bool takeKept;        // the take and its picture from before the import stay as they were
    const char* caption;  // of the one message of the start after it
    const char* message;  // its text, '\n' shown as '|'
};

class InterruptedRecordingProcess : public RecorderProcess,
                                    public ::testing::WithParamInterface<InterruptedRecording> {
protected:
    // Starts the program, waits for its window and for messageCount messages, and closes it.
    void runOnce(std::size_t messageCount)
    {
        m_process.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(m_files.path() / "ready"); }, 20000))
            << m_process.readAllStandardError().toStdString();
        const auto lines = [&] { return static_cast<std::size_t>(std::ranges::count(messages(), '\n')); };
        ASSERT_TRUE(QTest::qWaitFor([&] { return lines() >= 2 * messageCount; }, 5000));
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        ASSERT_TRUE(m_process.waitForFinished(20000));
        EXPECT_EQ(m_process.exitCode(), 0);
        std::filesystem::remove(m_files.path() / "ready");
    }
    // The take holds recorded maximised (gain 32767 / peak, held to ±32766, truncated toward
    // zero), and wd.dat was drawn afresh for it.
    void expectFinished(const std::vector<int16_t>& recorded, const std::string& staleCache) const
    {
        const double gain = 32767.0 / *std::ranges::max_element(recorded);
        std::vector<int16_t> expected;
        for (int16_t sample : recorded)
            expected.push_back(static_cast<int16_t>(std::trunc(std::clamp(sample * gain, -32766.0, 32766.0))));
        EXPECT_EQ(bytesSamples(testing::readFile(take())), expected);
        const std::string rebuilt = testing::readFile(cache());
        EXPECT_GE(rebuilt.size(), 8u);
        EXPECT_NE(rebuilt, staleCache);
    }
    std::filesystem::path take() const { return m_home.home() / "recording.raw"; }
    std::filesystem::path cache() const { return m_home.home() / "wd.dat"; }
    std::filesystem::path mark() const { return m_home.home() / "recording.mark"; }
    // The test device's ramp as the input, and settings past the first start.
    void useRampInput()
    {
        QProcessEnvironment environment = m_process.processEnvironment();
        environment.insert(QStringLiteral("WAVELARK_AUDIO"), QStringLiteral("test:input=ramp"));
        m_process.setProcessEnvironment(environment);
        testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
        settings.putInt(3144, 0);
        testing::writeFile(m_home.settingsPath(), settings.bytes);
    }
};

TEST_P(InterruptedRecordingProcess, IsFinishedAtTheNextStartAndReportedOnce)
{
    const InterruptedRecording& state = GetParam();
    useRampInput();
    // A ramp at a quarter of full scale on the left, a slower one on the right.
    std::vector<int16_t> ramp;
    for (int frame = 0; frame < state.frames; ++frame) {
        ramp.push_back(static_cast<int16_t>(frame % 16384 - 8192));
        ramp.push_back(static_cast<int16_t>(frame / 64 % 4096 - 2048));
    }
    if (state.frames >= 0)
        testing::writeFile(take(), sampleBytes(ramp));
    const std::string staleCache(4000, '\x11');
    testing::writeFile(cache(), staleCache);
    testing::writeFile(mark(), state.mark);
    const std::filesystem::path side = m_home.home() / "recording.raw.import";
    if (state.importSide)
        testing::writeFile(side, std::string(1000, '\x22'));

    runOnce(1);
    EXPECT_EQ(messages(), std::string(state.caption) + "\n" + state.message + "\n");
    EXPECT_FALSE(std::filesystem::exists(mark()));
    EXPECT_FALSE(std::filesystem::exists(side));
    if (state.takeKept) {
        // The take and its picture from before the import stay as they were.
        EXPECT_EQ(testing::readFile(take()), sampleBytes(ramp));
        EXPECT_EQ(testing::readFile(cache()), staleCache);
    } else if (state.frames > 0) {
        expectFinished(ramp, staleCache);
    } else {
        // Nothing kept: neither the empty take nor the earlier take's picture is left to show.
        EXPECT_FALSE(std::filesystem::exists(take()));
        EXPECT_FALSE(std::filesystem::exists(cache()));
    }

    // With the mark gone, the next start shows nothing new and leaves the take as it is.
    const std::string takeAfter = std::filesystem::exists(take()) ? testing::readFile(take()) : std::string();
    const std::string cacheAfter = std::filesystem::exists(cache()) ? testing::readFile(cache()) : std::string();
    runOnce(1);
    EXPECT_EQ(messages(), std::string(state.caption) + "\n" + state.message + "\n");
    EXPECT_EQ(std::filesystem::exists(take()) ? testing::readFile(take()) : std::string(), takeAfter);
    EXPECT_EQ(std::filesystem::exists(cache()) ? testing::readFile(cache()) : std::string(), cacheAfter);
}

// A real kill during a recording of the test device's ramp, where every frame carries its number.
TEST_F(InterruptedRecordingProcess, KilledWhileRecordingKeepsEveryFrameWrittenAndFinishesThemAtTheNextStart)
{
    QProcessEnvironment environment = m_process.processEnvironment();
    environment.insert(QStringLiteral("WAVELARK_AUDIO"), QStringLiteral("test:input=ramp"));
    environment.insert(QStringLiteral("WAVELARK_TEST_RECORD"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
    settings.putInt(3144, 0);
    settings.putInt(2060, 0);  // the record gain at 1.0
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    const std::string staleCache(4000, '\x11');
    testing::writeFile(cache(), staleCache);
    m_process.start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::filesystem::exists(take()) && std::filesystem::file_size(take()) >= 176400; }, 20000))
        << messages() << m_process.readAllStandardError().toStdString();
    EXPECT_TRUE(std::filesystem::exists(mark()));
    ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
    ASSERT_TRUE(m_process.waitForFinished(20000));

    // Every frame up to the kill is there in order: the ramp through the record gain's scaling.
    std::string kept = testing::readFile(take());
    kept.resize(kept.size() / 4 * 4);
    const std::vector<int16_t> ramp = bytesSamples(kept);
    ASSERT_GE(ramp.size(), 88200u);
    const uint32_t first = uint32_t(uint16_t(ramp[0])) | uint32_t(uint16_t(ramp[1])) << 16;
    std::size_t wrong = 0;
    for (std::size_t frame = 0; frame < ramp.size() / 2; ++frame) {
        const uint32_t number = first + static_cast<uint32_t>(frame);
        wrong += ramp[2 * frame] != scaledSample(static_cast<int16_t>(number & 0xFFFF), 1.0)
                 || ramp[2 * frame + 1] != scaledSample(static_cast<int16_t>(number >> 16), 1.0);
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(messages(), "RECORD\nConfirm Record?\n");

    environment.remove(QStringLiteral("WAVELARK_TEST_RECORD"));
    m_process.setProcessEnvironment(environment);
    std::filesystem::remove(m_files.path() / "ready");
    runOnce(2);
    expectFinished(ramp, staleCache);
    EXPECT_FALSE(std::filesystem::exists(mark()));
    const std::string recovered = messages().substr(std::string("RECORD\nConfirm Record?\n").size());
    EXPECT_EQ(recovered.rfind("RECORD\nThe last recording was interrupted before it was stopped.", 0), 0u) << recovered;
    EXPECT_EQ(std::ranges::count(recovered, '\n'), 2);
}

INSTANTIATE_TEST_SUITE_P(
    States, InterruptedRecordingProcess,
    ::testing::Values(
        InterruptedRecording{"ThreeSecondsKept", 132300, "", false, false, "RECORD",
                             "The last recording was interrupted before it was stopped.||Its take has been "
                             "recovered and finished as Stop would have done: 0:03 of audio."},
        InterruptedRecording{"EmptyTake", 0, "", false, false, "RECORD",
                             "The last recording was interrupted before any audio was kept, so there is no take."},
        InterruptedRecording{"NoTake", -1, "", false, false, "RECORD",
                             "The last recording was interrupted before any audio was kept, so there is no take."},
        InterruptedRecording{"ImportAfterItReplacedTheTake", 220500, "replaced\n", false, false, "IMPORT",
                             "The last import was interrupted after its audio replaced the take.||The take has "
                             "been finished as the import would have done: 0:05 of audio."},
        InterruptedRecording{"ImportBeforeItReplacedTheTake", 44100, "import\n", true, true, "IMPORT",
                             "The last import was interrupted before its audio replaced the take, so the take is "
                             "the one from before it."},
        InterruptedRecording{"ImportReplacingBeforeTheRename", 44100, "replaced\n", true, true, "IMPORT",
                             "The last import was interrupted before its audio replaced the take, so the take is "
                             "the one from before it."},
        // Killed after the mark was written but before the side file was created: the take is
        // the one from before, not an import to finish.
        InterruptedRecording{"ImportBeforeItsSideFile", 88200, "import\n", false, true, "IMPORT",
                             "The last import was interrupted before its audio replaced the take, so the take is "
                             "the one from before it."}),
    [](const ::testing::TestParamInfo<InterruptedRecording>& info) { return std::string(info.param.name); });

// A stop processing killed in the maximise leaves the take partly rewritten and the maximise's
// journal: the next start finishes it to exactly the bytes of an uninterrupted maximise.
TEST_F(InterruptedRecordingProcess, KilledDuringTheMaximiseIsFinishedToTheUninterruptedResult)
{
    useRampInput();
    std::vector<int16_t> recorded;
    for (int frame = 0; frame < 1323000; ++frame) {
        recorded.push_back(static_cast<int16_t>(frame % 20000 - 10000));
        recorded.push_back(static_cast<int16_t>(frame / 100 % 3000 - 1500));
    }
    testing::writeFile(take(), sampleBytes(recorded));
    const std::string staleCache(4000, '\x11');
    testing::writeFile(cache(), staleCache);
    testing::writeFile(mark(), "");
    QProcess pass;
    pass.start(QStringLiteral(WAVELARK_TAKE_PASS_CHILD),
               {QStringLiteral("maximise"), QString::fromStdString(take().string()), QStringLiteral("50"),
                QStringLiteral("65536")});
    ASSERT_TRUE(pass.waitForFinished(20000));
    ASSERT_EQ(pass.exitStatus(), QProcess::CrashExit);
    const std::filesystem::path journal = m_home.home() / "recording.raw.maximise";
    ASSERT_TRUE(std::filesystem::exists(journal));

    runOnce(1);
    expectFinished(recorded, staleCache);
    EXPECT_FALSE(std::filesystem::exists(journal));
    EXPECT_FALSE(std::filesystem::exists(mark()));
    EXPECT_EQ(messages(), "RECORD\nThe last recording was interrupted before it was stopped.||Its take has been "
                          "recovered and finished as Stop would have done: 0:30 of audio.\n");
}

// A save killed part-way leaves its mark, its side file in the archive folder and the temporary
// WAV: the next start removes those, and only those, and says what was not saved.
TEST_F(InterruptedRecordingProcess, AnInterruptedSaveLeavesNothingInTheArchive)
{
    testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
    settings.putInt(3144, 0);
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    std::filesystem::create_directories(m_home.musicFolder());
    const std::filesystem::path side = std::filesystem::path(m_home.musicFolder()) / "Side A.mp3.part";
    const std::filesystem::path kept = std::filesystem::path(m_home.musicFolder()) / "Kept.mp3";
    testing::writeFile(side, std::string(5000, '\x33'));
    testing::writeFile(kept, std::string(3000, '\x44'));
    testing::writeFile(m_home.home() / "temp.wav", std::string(9000, '\x55'));
    testing::writeFile(m_home.home() / "saving.mark", side.string());

    runOnce(1);
    EXPECT_EQ(messages(), "SAVE AUDIO\nThe last save was interrupted before it was finished, so \"Side A.mp3\" was "
                          "not saved. The take is unchanged: select the part again and save it.\n");
    EXPECT_FALSE(std::filesystem::exists(side));
    EXPECT_FALSE(std::filesystem::exists(m_home.home() / "temp.wav"));
    EXPECT_FALSE(std::filesystem::exists(m_home.home() / "saving.mark"));
    EXPECT_EQ(testing::readFile(kept), std::string(3000, '\x44'));

    // A mark that names anything but a side file never removes it.
    testing::writeFile(m_home.home() / "saving.mark", kept.string());
    std::filesystem::remove(m_files.path() / "messages");
    runOnce(1);
    EXPECT_EQ(testing::readFile(kept), std::string(3000, '\x44'));
    EXPECT_FALSE(std::filesystem::exists(m_home.home() / "saving.mark"));
    EXPECT_EQ(messages().rfind("SAVE AUDIO\nThe last save was interrupted", 0), 0u) << messages();
}

TEST_F(RecorderProcess, SigtermClosesInOrderAndWritesTheSettings)
{
    testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
    settings.putInt(3144, 0);
    settings.putInt(2064, 55);
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    m_process.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(m_files.path() / "ready"); }, 20000))
        << m_process.readAllStandardError().toStdString();
    // The file the program writes at exit is the only one there can be now.
    std::filesystem::remove(m_home.settingsPath());
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_EQ(testing::readFile(m_home.settingsPath()), settings.bytes);
    EXPECT_EQ(messages(), "");
}

// A SIGTERM while a start-up message waits for its OK (a recording interrupted before its stop,
// a device that cannot be opened) closes the box and ends the program in order: the settings
// written and the lock released, so that the next start runs.
struct StartupBox {
    const char* name;
    const char* audio;     // WAVELARK_AUDIO
    bool recordingMark;    // a recording left its mark
    const char* caption;   // of the box left open
};

std::ostream& operator<<(std::ostream& out, const StartupBox& box)
{
    return out << box.name;
}

class SignalDuringStartupBox : public RecorderProcess, public ::testing::WithParamInterface<StartupBox> {};

TEST_P(SignalDuringStartupBox, ClosesTheBoxAndShutsDownInOrder)
{
    testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
    settings.putInt(3144, 0);
    settings.putInt(2064, 55);
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    if (GetParam().recordingMark)
        testing::writeFile(m_home.home() / "recording.mark", "");
    QProcessEnvironment environment = m_process.processEnvironment();
    environment.insert(QStringLiteral("WAVELARK_AUDIO"), QString::fromLatin1(GetParam().audio));
    environment.insert(QStringLiteral("WAVELARK_TEST_KEEP_BOXES"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    m_process.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages().find('\n') != std::string::npos; }, 20000))
        << m_process.readAllStandardError().toStdString();
    EXPECT_EQ(messages().substr(0, messages().find('\n')), GetParam().caption);
    std::filesystem::remove(m_home.settingsPath());
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    ASSERT_TRUE(m_process.waitForFinished(10000)) << "still running with the box closed";
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_EQ(testing::readFile(m_home.settingsPath()), settings.bytes);

    InstanceGuard next;
    EXPECT_TRUE(next.acquire(dataFolder())) << "the lock is released";
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, SignalDuringStartupBox,
    ::testing::Values(StartupBox{"RecoveredTake", "test", true, "RECORD"},
                      StartupBox{"PlaybackDeviceNotOpened", "test:outputs=0", false, "PLAY"},
                      // The second box, shown after the first was closed, is closed too.
                      StartupBox{"RecoveredTakeThenNoPlayback", "test:outputs=0", true, "RECORD"},
                      StartupBox{"NoInputDevice", "test:inputs=0", false, "ERROR"}),
    [](const ::testing::TestParamInfo<StartupBox>& info) { return std::string(info.param.name); });

TEST_F(RecorderProcess, SigintAfterAFirstStartKeepsTheSettings)
{
    m_process.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(m_files.path() / "ready"); }, 20000));
    std::filesystem::remove(m_home.settingsPath());
    ::kill(static_cast<pid_t>(m_process.processId()), SIGINT);
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_EQ(testing::readFile(m_home.settingsPath()).size(), 3148u);
    EXPECT_EQ(messages(), "Wavelark 2.0 - Welcome!\n\n");
}

}
}
