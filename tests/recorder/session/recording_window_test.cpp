// Recording and playing in the real main window, headless, with the test audio device: Record
// with its confirmation, Stop with the raw take maximise and the peak cache, the enable states,
// closing during a recording, the mark of a recording in progress, and Play from a selection made
// with the mouse.

#include "capture_test_support.h"
#include "recorder_test_support.h"

#include "session/take_session.h"

#include "archive/archive_list.h"

#include "widgets/waveform_view.h"

#include "core/identifiers.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/recorder_application.h"

#include "sorvak_widgets.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <dlfcn.h>

#include <filesystem>

namespace wavelark {
namespace {

class RecordingWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        // Loaded by path first, so that the program's load by name finds it in every build.
        ASSERT_NE(dlopen(WAVELARK_TOOLKIT_PATH, RTLD_NOW | RTLD_GLOBAL), nullptr);
        testing::useTestDevice("test:input=sine,1000,-6");
        testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
        settings.putInt(3144, 0);
        testing::writeFile(m_home.settingsPath(), settings.bytes);
        m_boxes.onTitle(QStringLiteral("RECORD"), [this](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box && box->button(QMessageBox::Yes) && m_answerYes)
                box->button(QMessageBox::Yes)->click();
            else
                modal->close();
        });
    }
    void TearDown() override
    {
        m_recorder.shutDown();
        testing::useTestDevice("test");
    }
    void start()
    {
        ASSERT_TRUE(m_recorder.startUp());
        m_window = m_recorder.mainWindow();
        ASSERT_NE(m_window, nullptr);
        m_session = m_window->session();
        ASSERT_NE(m_session, nullptr);
    }
    QWidget* control(int id) { return sorvak::findControl(m_window, id); }
    QString buttonText(int id) { return static_cast<QPushButton*>(control(id))->text(); }
    QString status() { return static_cast<QLabel*>(control(ids::kStatusLine))->text(); }
    std::filesystem::path takePath() const { return m_home.home() / "recording.raw"; }
    std::filesystem::path cachePath() const { return m_home.home() / "wd.dat"; }

    void record(double seconds)
    {
        QTest::mouseClick(control(ids::kRecordButton), Qt::LeftButton);
        ASSERT_TRUE(m_session->takeInProgress());
        ASSERT_TRUE(testing::pumpUntil([&] { return m_session->engine().elapsedSeconds() >= seconds; }));
    }

    testing::RecorderHome m_home;
    testing::ModalRecorder m_boxes;
    RecorderApplication m_recorder;
    MainWindow* m_window = nullptr;
    TakeSession* m_session = nullptr;
    bool m_answerYes = true;
};

const std::vector<int> kDisabledWhileRecording = {ids::kSaveButton,   ids::kExploreButton, ids::kPlayButton,
                                                  ids::kImportButton, ids::kDeleteButton,  ids::kFolderButton};

TEST_F(RecordingWindowTest, CtrlRRecordsAndStopsWhileTheMenusAreDisabled)
{
    start();
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
    QWidget* view = m_window->waveformView();
    view->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(m_session->takeInProgress());
    ASSERT_TRUE(testing::pumpUntil([&] { return m_session->engine().elapsedSeconds() >= 0.2; }));
    // The question's box has gone; the window is the active one again.
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
    // Play, Save and Import are off while recording, and so are their shortcuts.
    QTest::keyClick(view, Qt::Key_Space);
    QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(m_boxes.titles(), QStringList {QStringLiteral("RECORD")});
    QTest::keyClick(view, Qt::Key_R, Qt::ControlModifier);
    EXPECT_FALSE(m_session->takeInProgress());
    EXPECT_EQ(buttonText(ids::kRecordButton), QStringLiteral("Record"));
}

TEST_F(RecordingWindowTest, RecordAndStopLeavesAMaximisedTakeWithItsWaveform)
{
    start();
    record(0.3);
    EXPECT_EQ(buttonText(ids::kRecordButton), QStringLiteral("Stop"));
    for (int id : kDisabledWhileRecording)
        EXPECT_FALSE(control(id)->isEnabled()) << id;
    EXPECT_TRUE(control(ids::kRecordButton)->isEnabled());
    EXPECT_FALSE(m_window->archiveList()->isEnabled());
    // Every menu but "Take", whose entries follow their buttons: only "Record / Stop" is on.
    for (QAction* menu : m_window->menuBar()->actions())
        EXPECT_EQ(menu->isEnabled(), testing::shownText(menu->text()) == QStringLiteral("Take"));
    for (QAction* entry : testing::menuTitled(m_window->menuBar(), QStringLiteral("Take"))->actions())
        EXPECT_EQ(entry->isEnabled(), entry == m_window->menu()->action(ids::kRecordButton));
    EXPECT_TRUE(testing::pumpUntil([&] { return status().startsWith(QStringLiteral(" Recording : ")); }));

    QTest::mouseClick(control(ids::kRecordButton), Qt::LeftButton);
    EXPECT_FALSE(m_session->takeInProgress());
    EXPECT_EQ(buttonText(ids::kRecordButton), QStringLiteral("Record"));
    for (int id : kDisabledWhileRecording)
        EXPECT_TRUE(control(id)->isEnabled()) << id;
    for (QAction* menu : m_window->menuBar()->actions())
        EXPECT_TRUE(menu->isEnabled());
    EXPECT_TRUE(status().startsWith(QStringLiteral(" Duration : ")));

    const std::vector<int16_t> take = testing::readSamples(takePath().string());
    ASSERT_GT(take.size(), 0u);
    EXPECT_EQ(*std::max_element(take.begin(), take.end()), 32766);
    EXPECT_EQ(m_session->takeLength(), take.size() * 2);
    EXPECT_GE(std::filesystem::file_size(cachePath()), 8u);
}

// The idle progress bar carries the take's health; the status line keeps its own texts.
struct HealthCase {
    const char* name;
    const char* input;          // the test device's input
    uint64_t freeBytes;         // what the file system's free space query answers
    const char* whileRecording; // how the bar's text starts while recording
    bool warning;               // drawn in red while recording
    const char* afterStop;      // how the bar's text starts after Stop
};

class RecordingHealthWindowTest : public RecordingWindowTest, public ::testing::WithParamInterface<HealthCase> {};

TEST_P(RecordingHealthWindowTest, TheProgressBarTellsTheTakesHealthWhileRecordingAndAfterStop)
{
    const HealthCase& c = GetParam();
    testing::useTestDevice(c.input);
    start();
    const uint64_t freeBytes = c.freeBytes;
    m_session->setFreeSpaceQuery([freeBytes] { return std::optional<uint64_t>(freeBytes); });
    record(1.2);
    auto* bar = static_cast<QProgressBar*>(control(ids::kProgressBar));
    ASSERT_TRUE(testing::pumpUntil([&] {
        return bar->isTextVisible() && bar->format().startsWith(QString::fromLatin1(c.whileRecording))
               && status().startsWith(QStringLiteral(" Recording : "));
    })) << bar->format().toStdString();
    EXPECT_EQ(bar->palette().color(QPalette::Text) == QColor(192, 0, 0), c.warning);

    QTest::mouseClick(control(ids::kRecordButton), Qt::LeftButton);
    ASSERT_FALSE(m_session->takeInProgress());
    EXPECT_TRUE(bar->isTextVisible());
    EXPECT_TRUE(bar->format().startsWith(QString::fromLatin1(c.afterStop))) << bar->format().toStdString();
    EXPECT_TRUE(status().startsWith(QStringLiteral(" Duration : ")));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RecordingHealthWindowTest,
    ::testing::Values(
        HealthCase{"Clean", "test:input=sine,1000,-6", 176400ull * 4000, "Time left 1:06:", false,
                   "The take came through clean"},
        HealthCase{"SmallDisk", "test:input=sine,1000,-6", 176400ull * 100, "Only 1:40 of recording time left", true,
                   "The take came through clean"},
        // A full-scale sine at a quarter of the rate: every fourth sample is 32767 on both channels.
        HealthCase{"Clipped", "test:input=sine,11025,0", 176400ull * 4000, "Time left 1:06:40   Peak 0.0 dBFS   Clipped ", true,
                   "The take clipped ("},
        HealthCase{"Silent", "test:input=silence", 176400ull * 4000, "Time left 1:06:40", false,
                   "The take is silent"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordingWindowTest, AnsweringNoKeepsTheEarlierTake)
{
    testing::writeSamples(takePath().string(), {100, 200, 300, 400});
    start();
    m_answerYes = false;
    QTest::mouseClick(control(ids::kRecordButton), Qt::LeftButton);
    EXPECT_FALSE(m_session->takeInProgress());
    EXPECT_EQ(testing::readSamples(takePath().string()), (std::vector<int16_t>{100, 200, 300, 400}));
    EXPECT_EQ(buttonText(ids::kRecordButton), QStringLiteral("Record"));
    ASSERT_FALSE(m_boxes.seen().empty());
    EXPECT_EQ(m_boxes.seen().back().text, QStringLiteral("Confirm Record?"));
}

TEST_F(RecordingWindowTest, TakeThatCannotBeCreatedIsReportedAndTheWindowStaysIdle)
{
    std::filesystem::create_directories(takePath());
    start();
    QTest::mouseClick(control(ids::kRecordButton), Qt::LeftButton);
    EXPECT_FALSE(m_session->takeInProgress());
    EXPECT_FALSE(m_session->engine().recording());
    ASSERT_GE(m_boxes.seen().size(), 2u);
    EXPECT_TRUE(m_boxes.seen().back().text.contains(QStringLiteral("could not be created")));
    EXPECT_EQ(buttonText(ids::kRecordButton), QStringLiteral("Record"));
    EXPECT_TRUE(control(ids::kImportButton)->isEnabled());
}

TEST_F(RecordingWindowTest, ClosingDuringARecordingKeepsTheTakeAsAFinishedOne)
{
    start();
    record(0.3);
    m_window->close();
    const std::vector<int16_t> take = testing::readSamples(takePath().string());
    ASSERT_GT(take.size(), 0u);
    EXPECT_EQ(*std::max_element(take.begin(), take.end()), 32766);
    EXPECT_GE(std::filesystem::file_size(cachePath()), 8u);
}

// The mark of a recording in progress lasts from Record until Stop has finished the take.
TEST_F(RecordingWindowTest, RecordingIsMarkedUntilStopHasFinishedTheTake)
{
    const std::filesystem::path mark = m_home.home() / "recording.mark";
    start();
    EXPECT_FALSE(std::filesystem::exists(mark));
    record(0.2);
    EXPECT_TRUE(std::filesystem::exists(mark));
    QTest::mouseClick(control(ids::kRecordButton), Qt::LeftButton);
    EXPECT_FALSE(m_session->takeInProgress());
    EXPECT_FALSE(std::filesystem::exists(mark));
    // Only the confirmation was shown: a mark that could not be written or removed is reported.
    ASSERT_EQ(m_boxes.seen().size(), 1u);
    EXPECT_EQ(m_boxes.seen().front().text, QStringLiteral("Confirm Record?"));
}

TEST_F(RecordingWindowTest, AnInterruptedRecordingThatKeptNothingLeavesNoTakeToPlayOrSave)
{
    testing::writeFile(takePath(), "");
    testing::writeFile(cachePath(), std::string(400, '\x22'));
    testing::writeFile(m_home.home() / "recording.mark", "");
    start();
    EXPECT_FALSE(m_session->hasTake());
    EXPECT_FALSE(control(ids::kPlayButton)->isEnabled());
    EXPECT_FALSE(control(ids::kSaveButton)->isEnabled());
    EXPECT_TRUE(control(ids::kRecordButton)->isEnabled());
    EXPECT_FALSE(std::filesystem::exists(m_home.home() / "recording.mark"));
    ASSERT_EQ(m_boxes.seen().size(), 1u);
    EXPECT_EQ(m_boxes.seen().front().title, QStringLiteral("RECORD"));
}

TEST_F(RecordingWindowTest, SelectionDraggedInTheViewPlaysAndStopsByItself)
{
    // Half a second of take.
    std::vector<int16_t> take(44100);
    for (std::size_t index = 0; index < take.size(); ++index)
        take[index] = static_cast<int16_t>(index % 2000);
    testing::writeSamples(takePath().string(), take);
    start();
    WaveformView* view = m_window->waveformView();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    QMouseEvent drag(QEvent::MouseMove, QPointF(400, 50), view->mapToGlobal(QPointF(400, 50)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drag);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(400, 50));
    EXPECT_EQ(view->firstEdge(), 100u);
    EXPECT_EQ(view->secondEdge(), 400u);
    ASSERT_TRUE(m_session->playing());
    EXPECT_EQ(buttonText(ids::kPlayButton), QStringLiteral("Stop"));
    EXPECT_FALSE(control(ids::kRecordButton)->isEnabled());
    EXPECT_FALSE(control(ids::kSaveButton)->isEnabled());
    ASSERT_TRUE(testing::pumpUntil([&] { return !m_session->playing(); }, std::chrono::seconds(10)));
    EXPECT_EQ(buttonText(ids::kPlayButton), QStringLiteral("Play"));
    EXPECT_TRUE(control(ids::kRecordButton)->isEnabled());
    EXPECT_EQ(m_session->playCursor(), 100.0);
}

// A playback device that cannot be opened is reported at start-up, Play stays off (saying why),
// and the take can still be seen and recorded over.
TEST_F(RecordingWindowTest, APlaybackDeviceThatCannotBeOpenedIsReportedAndNothingIsLost)
{
    testing::useTestDevice("test:input=sine;inputs=1;outputs=0");
    const std::vector<int16_t> take(44100 * 2, 1000);
    testing::writeSamples(takePath().string(), take);
    start();
    EXPECT_TRUE(m_boxes.titles().contains(QStringLiteral("PLAY")));
    EXPECT_TRUE(control(ids::kPlayButton)->isEnabled());

    const std::size_t before = m_boxes.seen().size();
    QTest::mouseClick(control(ids::kPlayButton), Qt::LeftButton);
    EXPECT_FALSE(m_session->playing());
    EXPECT_EQ(buttonText(ids::kPlayButton), QStringLiteral("Play"));
    EXPECT_TRUE(control(ids::kRecordButton)->isEnabled());
    ASSERT_EQ(m_boxes.seen().size(), before + 1);
    EXPECT_TRUE(m_boxes.seen().back().text.contains(QStringLiteral("playback device")));
    EXPECT_EQ(testing::readSamples(takePath().string()), take);
}

// A stored record device the system does not have (unplugged: device 3 of one; or a damaged
// settings file, whose value is held to the last device): the start-up says which one, Record
// works from the default device, and the stored choice stays.
class MissingRecordDeviceTest : public RecordingWindowTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(MissingRecordDeviceTest, IsReplacedByTheDefaultOneAndNamed)
{
    testing::useTestDevice("test:input=sine;inputs=1");
    testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
    settings.putInt(3144, 0);
    settings.putInt(2048, GetParam());
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    start();
    ASSERT_EQ(m_boxes.seen().size(), 1u);
    EXPECT_EQ(m_boxes.seen().front().title, QStringLiteral("RECORD"));
    EXPECT_TRUE(m_boxes.seen().front().text.startsWith(QStringLiteral("The record device 3 ")))
        << m_boxes.seen().front().text.toStdString();
    EXPECT_TRUE(m_boxes.seen().front().text.contains(QStringLiteral("default device (Wave Mapper)")));

    record(0.2);
    QTest::mouseClick(control(ids::kRecordButton), Qt::LeftButton);
    EXPECT_FALSE(m_session->takeInProgress());
    EXPECT_GT(testing::readSamples(takePath().string()).size(), 0u);
    m_recorder.shutDown();
    EXPECT_EQ(testing::intAt(testing::readFile(m_home.settingsPath()), 2048), 2);
}

INSTANTIATE_TEST_SUITE_P(StoredDevices, MissingRecordDeviceTest, ::testing::Values(2, 9),
                         [](const auto& info) { return info.param == 2 ? "Unplugged" : "Damaged"; });

// The stop processing runs the event loop between blocks: a command that arrives meanwhile (a
// click, a posted call) must find the session busy and change nothing.
TEST_F(RecordingWindowTest, CommandsDuringTheStopProcessingAreIgnored)
{
    m_answerYes = true;
    start();
    record(1.0);
    int duringPreparation = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (m_session->phase() != SessionPhase::Preparing)
            return;
        ++duringPreparation;
        m_window->command(ids::kRecordButton);
        m_window->command(ids::kPlayButton);
    });
    poke.start(0);
    const std::size_t confirmations = m_boxes.titles().count(QStringLiteral("RECORD"));
    QTest::mouseClick(control(ids::kRecordButton), Qt::LeftButton);
    poke.stop();
    EXPECT_GT(duringPreparation, 0);
    EXPECT_EQ(m_boxes.titles().count(QStringLiteral("RECORD")), confirmations);
    EXPECT_FALSE(m_session->takeInProgress());
    EXPECT_FALSE(m_session->playing());
    EXPECT_EQ(m_session->phase(), SessionPhase::Idle);
    EXPECT_EQ(buttonText(ids::kRecordButton), QStringLiteral("Record"));
}

}
}
