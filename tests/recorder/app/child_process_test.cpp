// The program as a separate process: the single-instance guard and the orderly close on SIGTERM.

#include "recorder_test_support.h"

#include "app/instance_guard.h"
#include "app/messages.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <csignal>

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

// A lock that cannot be taken at all counts as another instance: running unguarded could let
// two copies write one take.
TEST_F(RecorderProcess, ALockFileThatCannotBeCreatedStopsTheProgramWithTheReason)
{
    QProcessEnvironment environment = m_process.processEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/proc/wavelark-no-such-folder"));
    m_process.setProcessEnvironment(environment);
    m_process.start();
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitCode(), 0);
    const std::string text = messages();
    EXPECT_NE(text.find(kAlreadyRunningCaption), std::string::npos);
    EXPECT_NE(text.find("could not be created"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_home.settingsPath()));
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
