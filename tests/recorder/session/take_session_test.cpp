// The take's session on a fake display: what it shows while an import runs, the marks an import
// leaves for a start after a kill, a peak cache that cannot be written, and the start-up's
// recovery of an import that was killed.

#include "session_on_fake_display.h"

#include <gtest/gtest.h>

#include <QFile>

#include <filesystem>
#include <memory>

namespace wavelark {
namespace {

class TakeSessionTest : public testing::SessionOnFakeDisplay {
protected:
    std::filesystem::path takePath() const { return folder() / "recording.raw"; }
    std::filesystem::path cachePath() const { return folder() / "wd.dat"; }
    std::filesystem::path markPath() const { return folder() / "recording.mark"; }
    std::string markContent() const
    {
        return std::filesystem::exists(markPath()) ? testing::readFile(markPath()) : std::string("(none)");
    }
    // A take of seconds of a quiet ramp, never maximised.
    std::vector<int16_t> writeTake(double seconds)
    {
        std::vector<int16_t> take(static_cast<std::size_t>(seconds * 44100) * 2);
        for (std::size_t index = 0; index < take.size(); ++index)
            take[index] = static_cast<int16_t>(index % 4000 - 2000);
        testing::writeSamples(takePath().string(), take);
        return take;
    }
};

// The level sliders rest from the import's start until its take is drawn, and the mark says
// "import" while the file is copied and "replaced" once the new take has replaced the old one.
TEST_F(TakeSessionTest, AnImportKeepsTheSlidersStillUntilItsTakeIsDrawnAndMarksTheReplacement)
{
    writeTake(1.0);
    start();
    const std::string source = writeSourceWav(7.0);
    m_display.states.clear();
    QStringList marksWhileCopying;
    QStringList marksWhileMaximising;
    m_display.onStatus = [&](const QString& text) {
        if (text.startsWith(QStringLiteral(" Importing Audio File")))
            marksWhileCopying << QString::fromStdString(markContent());
        else if (text.startsWith(QStringLiteral(" Scanning Audio")) || text.startsWith(QStringLiteral(" Maximizing")))
            marksWhileMaximising << QString::fromStdString(markContent());
    };
    ASSERT_TRUE(m_session->import(QString::fromStdString(source)));

    ASSERT_GE(m_display.states.size(), 2u);
    for (std::size_t index = 0; index + 1 < m_display.states.size(); ++index) {
        EXPECT_FALSE(m_display.states[index].sliders) << index;
        EXPECT_FALSE(m_display.states[index].record) << index;
    }
    EXPECT_TRUE(m_display.states.back().sliders);
    EXPECT_TRUE(m_display.states.back().record);
    // Each mark names the change on its first line and the take's id on the next; the id stays.
    ASSERT_FALSE(marksWhileCopying.isEmpty());
    ASSERT_FALSE(marksWhileMaximising.isEmpty());
    const QString takeLine = marksWhileCopying.front().section(QLatin1Char('\n'), 1);
    EXPECT_TRUE(takeLine.startsWith(QStringLiteral("take "))) << takeLine.toStdString();
    EXPECT_EQ(marksWhileCopying.count(QStringLiteral("import\n") + takeLine), marksWhileCopying.size());
    EXPECT_EQ(marksWhileMaximising.count(QStringLiteral("replaced\n") + takeLine), marksWhileMaximising.size());
    EXPECT_FALSE(std::filesystem::exists(markPath()));
    EXPECT_TRUE(m_display.shown().empty());
}

// wd.dat that cannot be written (a full disk; here its side file is a folder): the user is told,
// and the earlier take's picture is not left to be drawn as this take's at the next start.
TEST_F(TakeSessionTest, APeakCacheThatCannotBeWrittenAfterStopIsReported)
{
    testing::writeFile(cachePath(), std::string(400, '\x22'));
    std::filesystem::create_directories(folder() / "wd.dat.part");
    start();
    m_display.messages.clear();
    m_session->recordCommand();
    ASSERT_TRUE(m_session->takeInProgress());
    ASSERT_TRUE(testing::pumpUntil([&] { return m_session->engine().elapsedSeconds() >= 0.3; }));
    m_session->recordCommand();
    ASSERT_FALSE(m_session->takeInProgress());
    const auto shown = m_display.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("RECORD"));
    EXPECT_TRUE(shown[0].text.contains(QString::fromStdString(cachePath().string()))) << shown[0].text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(cachePath()));
}

TEST_F(TakeSessionTest, APeakCacheThatCannotBeWrittenAfterAnImportIsReported)
{
    writeTake(1.0);
    start();
    std::filesystem::create_directories(folder() / "wd.dat.part");
    m_display.messages.clear();
    ASSERT_TRUE(m_session->import(QString::fromStdString(writeSourceWav(1.0))));
    const auto shown = m_display.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("IMPORT"));
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("waveform")));
    EXPECT_FALSE(std::filesystem::exists(cachePath()));
}

// The "replaced" mark is what lets a start after a kill tell the new take from the old one: when it
// cannot be written, the import stops before its audio replaces the take, and says so.
TEST_F(TakeSessionTest, AnImportWhoseReplacingMarkCannotBeWrittenLeavesTheTakeAsItWas)
{
    writeTake(1.0);
    start();
    const std::string takeBytes = testing::readFile(takePath());
    // The toolbox writes every mark beside it first: a folder in that place refuses the marks.
    std::filesystem::create_directories(folder() / "recording.mark.part");
    m_display.messages.clear();
    EXPECT_FALSE(m_session->import(QString::fromStdString(writeSourceWav(2.0))));
    EXPECT_EQ(testing::readFile(takePath()), takeBytes);
    EXPECT_FALSE(std::filesystem::exists(folder() / "recording.raw.import"));
    const auto shown = m_display.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("IMPORT"));
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("The take is unchanged"))) << shown[0].text.toStdString();
}

// An import killed after its mark but before its side file left the take as it was: the start
// keeps it, its picture and its selection, and says so. Killed after the rename, the new take is
// finished as the import would have done.
TEST_F(TakeSessionTest, AnImportKilledBeforeItsSideFileKeepsTheTakeAndItsSelection)
{
    const std::vector<int16_t> take = writeTake(2.0);
    const std::string cache(4000, '\x11');
    testing::writeFile(cachePath(), cache);
    testing::writeFile(markPath(), "import\n");
    m_state.settings.selectionStart = 100;
    m_state.settings.selectionEnd = 200;
    start();
    EXPECT_EQ(testing::readSamples(takePath().string()), take);
    EXPECT_EQ(testing::readFile(cachePath()), cache);
    EXPECT_EQ(m_view->firstEdge(), 100u);
    EXPECT_EQ(m_view->secondEdge(), 200u);
    EXPECT_FALSE(std::filesystem::exists(markPath()));
    const auto shown = m_display.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("IMPORT"));
    EXPECT_EQ(shown[0].text, QStringLiteral("The last import was interrupted before its audio replaced the take, so "
                                            "the take is the one from before it."));
}

TEST_F(TakeSessionTest, AnImportKilledAfterItReplacedTheTakeIsFinished)
{
    writeTake(2.0);
    testing::writeFile(cachePath(), std::string(4000, '\x11'));
    testing::writeFile(markPath(), "replaced\n");
    m_state.settings.selectionStart = 100;
    m_state.settings.selectionEnd = 200;
    start();
    const std::vector<int16_t> finished = testing::readSamples(takePath().string());
    EXPECT_EQ(*std::max_element(finished.begin(), finished.end()), 32766);
    EXPECT_EQ(m_view->firstEdge(), 0u);
    EXPECT_EQ(m_view->secondEdge(), 0u);
    const auto shown = m_display.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith(QStringLiteral("The last import was interrupted after its audio replaced")));
}

// The file is examined before the question: one that cannot be imported is refused by name with
// no question and the take kept; one that can (also a 48 kHz mono WAV, which the copy used to
// refuse) is asked about, and a No keeps the take too.
TEST_F(TakeSessionTest, OnlyAnImportableFileIsAskedAbout)
{
    const std::vector<int16_t> take = writeTake(1.0);
    start();
    const std::string text = (folder() / "notes.flac").string();
    testing::writeFile(text, "These are the liner notes, not a recording.\n");
    const std::string mono = (folder() / "mono48k.wav").string();
    ASSERT_TRUE(testing::runCommand("sox -n -r 48000 -b 24 -c 1 " + testing::shellQuoted(mono) + " synth 0.5 sine 1000")
                    .succeeded);

    m_display.messages.clear();
    EXPECT_FALSE(m_session->import(QString::fromStdString(text)));
    ASSERT_EQ(m_display.messages.size(), 1u);
    EXPECT_EQ(m_display.messages[0].kind, QStringLiteral("warn"));
    EXPECT_TRUE(m_display.messages[0].text.contains(QString::fromStdString(text))) << m_display.messages[0].text.toStdString();

    m_display.messages.clear();
    m_display.answer = false;
    EXPECT_FALSE(m_session->import(QString::fromStdString(mono)));
    ASSERT_EQ(m_display.messages.size(), 1u);
    EXPECT_EQ(m_display.messages[0].kind, QStringLiteral("ask"));
    EXPECT_EQ(testing::readSamples(takePath().string()), take);

    m_display.messages.clear();
    m_display.answer = true;
    EXPECT_TRUE(m_session->import(QString::fromStdString(mono)));
    EXPECT_EQ(m_display.shown().size(), 0u);
    EXPECT_NEAR(std::filesystem::file_size(takePath()) / 4.0, 44 / 4 + 0.5 * 44100, 1.0);
}

}
}
