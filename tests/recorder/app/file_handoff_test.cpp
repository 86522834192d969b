// Files handed to the recorder from outside: the command line's file, the hand-over from a second
// start to the running recorder, and the import it leads to through the real main window.

#include "capture_test_support.h"
#include "recorder_test_support.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"

#include "app/file_handoff.h"
#include "app/main_window.h"
#include "app/recorder_application.h"

#include "session/take_session.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>

#include <dlfcn.h>

#include <atomic>
#include <thread>

namespace wavelark {
namespace {

TEST(FileToOpen, TakesTheFirstArgumentThatIsNotAnOption)
{
    const QString here = QDir::currentPath();
    const struct {
        QStringList arguments;
        QString expected;
    } rows[] = {
        {{"wavelark"}, QString()},
        {{"wavelark", "--verbose"}, QString()},
        {{"wavelark", "side a.wav"}, here + "/side a.wav"},
        {{"wavelark", "-x", "/music/b.flac", "/music/c.flac"}, "/music/b.flac"},
        {{"wavelark", "file:///music/side%20b.ogg"}, "/music/side b.ogg"},
        {{"wavelark", "--", "-dash.wav"}, here + "/-dash.wav"},
        {{"wavelark", "/music/../music/d.wav"}, "/music/d.wav"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(fileToOpen(row.arguments), row.expected) << row.arguments.join(' ').toStdString();
}

TEST(FileHandoff, EachDataFolderHasItsOwnSocket)
{
    EXPECT_NE(handoffSocketPath("/home/a/.local/share/wavelark/"), handoffSocketPath("/home/b/.local/share/wavelark/"));
    EXPECT_EQ(handoffSocketPath("/data/"), handoffSocketPath("/data/"));
}

TEST(FileHandoff, ASecondStartHandsItsFileToTheRunningRecorder)
{
    testing::ensureApplication();
    testing::TemporaryFolder folder;
    const QString dataFolder = QString::fromStdString(folder.path().string()) + "/";
    const QString sent = QStringLiteral("/music/Säte 1 — live.flac");

    EXPECT_FALSE(handFileToRunningRecorder(dataFolder, sent, 500)) << "nobody listens yet";

    // What a killed recorder left at the socket's path does not stop the next one from listening.
    testing::writeFile(handoffSocketPath(dataFolder).toStdString(), "stale");
    QStringList received;
    FileReceiver receiver([&received](const QString& path) { received << path; });
    QString problem;
    ASSERT_TRUE(receiver.listen(dataFolder, &problem)) << problem.toStdString();

    std::atomic<int> taken{-1};
    std::thread secondStart([&] { taken = handFileToRunningRecorder(dataFolder, sent, 10000) ? 1 : 0; });
    QElapsedTimer deadline;
    deadline.start();
    while ((received.isEmpty() || taken < 0) && deadline.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    secondStart.join();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(received, QStringList{sent});
}

class OpenFileWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        ASSERT_NE(dlopen(WAVELARK_TOOLKIT_PATH, RTLD_NOW | RTLD_GLOBAL), nullptr);
        testing::useTestDevice("test:input=silence");
        testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
        settings.putInt(3144, 0);
        testing::writeFile(m_home.settingsPath(), settings.bytes);
        m_boxes.onTitle(QString::fromLatin1(kConfirmImportCaption), [](QWidget* modal) {
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
        });
        testing::writeSamples((m_home.home() / "recording.raw").string(), std::vector<int16_t>(44100 * 2, 1000));
        ASSERT_TRUE(m_recorder.startUp());
        m_window = m_recorder.mainWindow();
        ASSERT_NE(m_window, nullptr);
        m_file = m_home.folder().path() / "side b.wav";
        ASSERT_TRUE(testing::runCommand("sox -n -r 44100 -b 16 -c 2 " + testing::shellQuoted(m_file.string())
                                        + " synth 2 sine 440")
                        .succeeded);
    }
    void TearDown() override
    {
        m_recorder.shutDown();
        testing::useTestDevice("test");
    }
    uint64_t takeBytes() const { return std::filesystem::file_size(m_home.home() / "recording.raw"); }

    testing::RecorderHome m_home;
    testing::ModalRecorder m_boxes;
    RecorderApplication m_recorder;
    MainWindow* m_window = nullptr;
    std::filesystem::path m_file;
};

TEST_F(OpenFileWindowTest, AnOpenedFileIsImportedAfterTheUsualQuestion)
{
    openFileInWindow(*m_window, *m_window->session(), true, QString::fromStdString(m_file.string()));
    ASSERT_FALSE(m_boxes.seen().empty());
    EXPECT_EQ(m_boxes.seen().front().title, QString::fromLatin1(kConfirmImportCaption));
    EXPECT_EQ(takeBytes(), std::filesystem::file_size(m_file));
}

TEST_F(OpenFileWindowTest, WhileTheRecorderIsBusyTheFileIsNamedAndNotImported)
{
    // The notice does not block: the call returns with it open, so a save or an import pumping
    // events around the hand-over goes on.
    openFileInWindow(*m_window, *m_window->session(), false, QString::fromStdString(m_file.string()));
    EXPECT_TRUE(m_boxes.seen().empty());
    const QList<QMessageBox*> notices = m_window->findChildren<QMessageBox*>();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.front()->isVisible());
    EXPECT_EQ(notices.front()->windowModality(), Qt::NonModal);
    EXPECT_EQ(notices.front()->windowTitle(), QString::fromLatin1(kImportCaption));
    EXPECT_TRUE(notices.front()->text().contains(QStringLiteral("side b.wav")));
    notices.front()->close();
    EXPECT_EQ(takeBytes(), 44100u * 4);
}

}
}
