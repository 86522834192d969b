// The program as a separate process: the single-instance guard and the orderly close on SIGTERM.

#include "recorder_test_support.h"

#include "shell/instance_guard.h"
#include "shell/messages.h"

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

    testing::RecorderHome m_home;
    testing::TemporaryFolder m_files;
    QProcess m_process;
};

TEST_F(RecorderProcess, SecondInstanceShowsAlreadyRunningAndTouchesNoFile)
{
    InstanceGuard first;
    ASSERT_TRUE(first.acquire());
    m_process.start();
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
    QString text = QString::fromLatin1(kAlreadyRunningText);
    text.replace(QLatin1Char('\n'), QLatin1Char('|'));
    EXPECT_EQ(messages(), std::string(kAlreadyRunningCaption) + "\n" + text.toStdString() + "\n");
    EXPECT_TRUE(std::filesystem::is_empty(m_home.home()));
    EXPECT_FALSE(std::filesystem::exists(m_home.musicFolder()));
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
