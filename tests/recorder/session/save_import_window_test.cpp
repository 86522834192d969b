// Saving and importing through the real main window: the Save button with its dialog, the file
// in the archive list, imports that replace the take and imports that must not, and a close
// that comes while a save runs.

#include "capture_test_support.h"
#include "recorder_test_support.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"

#include "app/main_window.h"
#include "app/recorder_application.h"

#include "session/take_session.h"

#include "take/save_pass.h"

#include "archive/archive_list.h"

#include "core/identifiers.h"

#include "sorvak_widgets.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <dlfcn.h>

#include <cmath>
#include <filesystem>

namespace wavelark {
namespace {

class SaveImportWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        ASSERT_NE(dlopen(WAVELARK_TOOLKIT_PATH, RTLD_NOW | RTLD_GLOBAL), nullptr);
        testing::useTestDevice("test:input=silence");
        testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
        settings.putInt(3144, 0);
        testing::writeFile(m_home.settingsPath(), settings.bytes);
        for (const char* caption : {kConfirmImportCaption, "Save Audio"}) {
            m_boxes.onTitle(QString::fromLatin1(caption), [this](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                box->button(m_answerYes ? QMessageBox::Yes : QMessageBox::No)->click();
            });
        }
    }
    void TearDown() override
    {
        m_recorder.shutDown();
        testing::useTestDevice("test");
    }
    // A take of seconds of a 440 Hz tone at half scale, then the program started on it.
    void startWithTone(double seconds)
    {
        const auto frames = static_cast<std::size_t>(seconds * 44100);
        std::vector<int16_t> take(frames * 2);
        for (std::size_t frame = 0; frame < frames; ++frame)
            take[frame * 2] = take[frame * 2 + 1] = static_cast<int16_t>(16000 * std::sin(frame * 2 * M_PI * 440 / 44100));
        testing::writeSamples(takePath().string(), take);
        ASSERT_TRUE(m_recorder.startUp());
        m_window = m_recorder.mainWindow();
        ASSERT_NE(m_window, nullptr);
        m_session = m_window->session();
    }
    QWidget* control(int id) { return sorvak::findControl(m_window, id); }
    std::filesystem::path takePath() const { return m_home.home() / "recording.raw"; }
    std::string archived(const char* name) const { return m_home.musicFolder() + name; }
    double probedSeconds(const std::string& path) const
    {
        return std::atof(testing::probeEntry(path, "format", "duration").c_str());
    }

    testing::RecorderHome m_home;
    testing::ModalRecorder m_boxes;
    RecorderApplication m_recorder;
    MainWindow* m_window = nullptr;
    TakeSession* m_session = nullptr;
    bool m_answerYes = true;
};

TEST_F(SaveImportWindowTest, SaveWithoutASelectionOpensNothingAndSaysHowToSelect)
{
    startWithTone(1.0);
    QTest::mouseClick(control(ids::kSaveButton), Qt::LeftButton);
    EXPECT_TRUE(m_boxes.seen().empty());
    EXPECT_EQ(static_cast<QLabel*>(control(ids::kStatusLine))->text(), QString::fromLatin1(kNothingSelectedText));
}

TEST_F(SaveImportWindowTest, SaveThroughTheDialogWritesTheFileListsItAndKeepsTheTemporaryFile)
{
    startWithTone(4.0);
    m_session->view()->setSelection(0, 555);
    m_session->view()->drawSelection();
    m_boxes.onTitle(QStringLiteral("SAVE AUDIO - LENGTH: *"), [](QWidget* dialog) {
        static_cast<QLineEdit*>(sorvak::findControl(dialog, ids::kSaveNameField))->setText(QStringLiteral("Side A"));
        static_cast<QPushButton*>(sorvak::findControl(dialog, ids::kSaveButton))->click();
    });
    QTest::mouseClick(control(ids::kSaveButton), Qt::LeftButton);
    const std::string saved = archived("Side A.mp3");
    ASSERT_TRUE(std::filesystem::exists(saved));
    EXPECT_EQ(testing::probeEntry(saved, "stream", "codec_name"), "mp3");
    EXPECT_NEAR(probedSeconds(saved), 4.0, 1152.0 / 44100 * 2);
    EXPECT_TRUE(std::filesystem::exists(m_home.home() / "temp.wav"));
    ASSERT_EQ(m_window->archiveList()->topLevelItemCount(), 1);
    EXPECT_EQ(m_window->archiveList()->topLevelItem(0)->text(ArchiveList::kTitleColumn), QStringLiteral("Side A"));
    // The status line shows the take and its selection again; what was saved is on the idle bar.
    EXPECT_TRUE(static_cast<QLabel*>(control(ids::kStatusLine))->text().startsWith(QStringLiteral(" Duration : ")));
    EXPECT_TRUE(static_cast<QLabel*>(control(ids::kStatusLine))->text().contains(QStringLiteral("Selection : ")));
    auto* bar = static_cast<QProgressBar*>(control(ids::kProgressBar));
    EXPECT_TRUE(bar->isTextVisible());
    EXPECT_EQ(bar->format(), QStringLiteral(" Saved : Side A.mp3"));
    EXPECT_TRUE(control(ids::kRecordButton)->isEnabled());
    EXPECT_TRUE(control(ids::kRecordSlider)->isEnabled());
}

// The dialog's fades and maximise reach the pass as chosen: a fade-in of 1 s and a fade-out of 3 s
// over four seconds give the pass's own result for those lengths, a rise over the first second and
// a fall over the last three, and the record remembers them.
TEST_F(SaveImportWindowTest, TheDialogsFadesAndMaximiseReachThePassInTheirOrder)
{
    startWithTone(4.0);
    m_session->view()->setSelection(0, 555);
    m_session->view()->drawSelection();
    const std::optional<SaveRange> range = m_session->selectedRange();
    ASSERT_TRUE(range);
    m_boxes.onTitle(QStringLiteral("SAVE AUDIO - LENGTH: *"), [](QWidget* dialog) {
        for (const int box : {ids::kSaveFadeStartBox, ids::kSaveFadeEndBox, ids::kSaveMaximiseBox})
            static_cast<QCheckBox*>(sorvak::findControl(dialog, box))->setChecked(true);
        static_cast<QLineEdit*>(sorvak::findControl(dialog, ids::kSaveFadeInField))->setText(QStringLiteral("1.00"));
        static_cast<QLineEdit*>(sorvak::findControl(dialog, ids::kSaveFadeOutField))->setText(QStringLiteral("3.00"));
        static_cast<QComboBox*>(sorvak::findControl(dialog, ids::kSaveFormatCombo))->setCurrentIndex(2);
        static_cast<QLineEdit*>(sorvak::findControl(dialog, ids::kSaveNameField))->setText(QStringLiteral("faded"));
        static_cast<QPushButton*>(sorvak::findControl(dialog, ids::kSaveButton))->click();
    });
    QTest::mouseClick(control(ids::kSaveButton), Qt::LeftButton);
    ASSERT_TRUE(std::filesystem::exists(archived("faded.wav")));
    const std::vector<int16_t> saved = testing::wavSamples(testing::readFile(m_home.home() / "temp.wav"));

    // The pass on its own over the same range with those lengths, in that order.
    const std::string expectedPath = (m_home.folder().path() / "expected.wav").string();
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath().string(), *range, expectedPath, {}).ok());
    ASSERT_TRUE(fadeAndMaximise(expectedPath, *range, {true, 1000, true, 3000, true}, {}, {}).result.ok());
    EXPECT_EQ(saved, testing::wavSamples(testing::readFile(expectedPath)));

    // The loudest sample of each eighth (about half a second): rising to full scale by 1 s,
    // falling from there.
    const std::size_t eighth = saved.size() / 16 * 2;
    ASSERT_NEAR(eighth, 44100u, 1000u);
    std::vector<int> loudest;
    for (std::size_t start = 0; loudest.size() < 8; start += eighth) {
        int peak = 0;
        for (std::size_t index = start; index < start + eighth; ++index)
            peak = std::max(peak, std::abs(static_cast<int>(saved[index])));
        loudest.push_back(peak);
    }
    EXPECT_LT(loudest[0], 16000) << "rising through the first half second";
    EXPECT_GE(loudest[1], 32000) << "full level at the end of the rise";
    EXPECT_GE(loudest[2], 32000) << "the fall starts from full level";
    EXPECT_TRUE(std::is_sorted(loudest.begin() + 2, loudest.end(), std::greater<int>()));
    EXPECT_GT(loudest[6], 3000) << "still falling in the last second but one";
    const Settings& settings = m_recorder.state().settings;
    EXPECT_EQ(settings.fadeStartLength, 1000u);
    EXPECT_EQ(settings.fadeEndLength, 3000u);
    EXPECT_EQ(settings.maximizeOn, 1);
}

TEST_F(SaveImportWindowTest, ASaveThatFailsSaysSoAndLeavesNoFile)
{
    startWithTone(1.0);
    const std::string folder = m_home.musicFolder() + "gone/";
    setSettingsText(m_recorder.state().settings.archiveFolder, QString::fromStdString(folder));
    EXPECT_FALSE(m_session->save(SaveRange{0, 44100 * 4}, SaveChoices{"take"}));
    ASSERT_FALSE(m_boxes.seen().empty());
    EXPECT_EQ(m_boxes.seen().back().title, QString::fromLatin1(kSaveCaption));
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(control(ids::kSaveButton)->isEnabled());
}

TEST_F(SaveImportWindowTest, ImportOfAWavFromSoxReplacesTheTakeMaximisedWithItsFirstElevenFramesSilent)
{
    startWithTone(1.0);
    const std::string source = (m_home.folder().path() / "from-sox.wav").string();
    ASSERT_TRUE(testing::runCommand("sox -n -r 44100 -b 16 -c 2 " + testing::shellQuoted(source) +
                                    " synth 2 sine 1000 vol 0.25").succeeded);
    ASSERT_TRUE(m_session->import(QString::fromStdString(source)));
    const std::vector<int16_t> take = testing::readSamples(takePath().string());
    EXPECT_EQ(take.size() * 2, std::filesystem::file_size(source));
    EXPECT_TRUE(std::all_of(take.begin(), take.begin() + 22, [](int16_t sample) { return sample == 0; }));
    EXPECT_EQ(*std::max_element(take.begin(), take.end()), 32766);
    EXPECT_EQ(m_session->view()->firstEdge(), 0u);
    EXPECT_EQ(m_session->view()->secondEdge(), 0u);
    EXPECT_TRUE(m_session->hasTake());
}

TEST_F(SaveImportWindowTest, ImportOfAnMp3FromLameDecodesIt)
{
    startWithTone(1.0);
    const std::string wav = (m_home.folder().path() / "tone.wav").string();
    const std::string mp3 = (m_home.folder().path() / "tone.mp3").string();
    ASSERT_TRUE(testing::runCommand("sox -n -r 44100 -b 16 -c 2 " + testing::shellQuoted(wav) + " synth 3 sine 440 vol 0.5")
                    .succeeded);
    ASSERT_TRUE(testing::runCommand("lame --quiet -b 128 " + testing::shellQuoted(wav) + " " + testing::shellQuoted(mp3))
                    .succeeded);
    ASSERT_TRUE(m_session->import(QString::fromStdString(mp3)));
    EXPECT_NEAR(std::filesystem::file_size(takePath()) / 4.0 / 44100.0, 3.0, 0.1);
}

// Nothing the user can pick may cost the take: a refusal, a corrupt file and a No all keep the
// take, its waveform and its selection.
TEST_F(SaveImportWindowTest, ImportsThatFailOrAreDeclinedKeepTheTakeAndItsSelection)
{
    startWithTone(1.0);
    m_session->view()->setSelection(100, 200);
    m_session->view()->drawSelection();
    const std::string take = testing::readFile(takePath());
    const std::string mono = (m_home.folder().path() / "mono.wav").string();
    ASSERT_TRUE(testing::runCommand("sox -n -r 44100 -b 16 -c 1 " + testing::shellQuoted(mono) + " synth 1 sine 440")
                    .succeeded);
    const std::string corrupt = (m_home.folder().path() / "corrupt.mp3").string();
    testing::writeFile(corrupt, std::string(20000, '\x5a'));

    // A file that cannot be imported is refused by name without the question.
    const std::size_t boxesBefore = m_boxes.seen().size();
    EXPECT_FALSE(m_session->import(QString::fromStdString(corrupt)));
    ASSERT_EQ(m_boxes.seen().size(), boxesBefore + 1);
    EXPECT_EQ(m_boxes.seen().back().title, QString::fromLatin1(kImportCaption));
    EXPECT_TRUE(m_boxes.seen().back().text.contains(QStringLiteral("corrupt.mp3")));
    m_answerYes = false;
    EXPECT_FALSE(m_session->import(QString::fromStdString(mono)));

    EXPECT_EQ(testing::readFile(takePath()), take);
    EXPECT_EQ(m_session->view()->firstEdge(), 100u);
    EXPECT_EQ(m_session->view()->secondEdge(), 200u);
    EXPECT_TRUE(control(ids::kImportButton)->isEnabled());
}

// The window closes while the save pumps its events: the save ends first, its file is whole,
// then the program closes and keeps its settings.
TEST_F(SaveImportWindowTest, ClosingDuringASaveFinishesTheFileBeforeTheProgramCloses)
{
    startWithTone(30.0);
    QTimer::singleShot(0, m_window, [this] { m_window->close(); });
    EXPECT_TRUE(m_session->save(SaveRange{0, 30 * 44100 * 4}, SaveChoices{"long", SaveFormat::Wav}));
    EXPECT_NEAR(probedSeconds(archived("long.wav")), 30.0, 1.0 / 44100);
    std::filesystem::remove(m_home.settingsPath());
    m_recorder.shutDown();
    EXPECT_EQ(std::filesystem::file_size(m_home.settingsPath()), 3148u);
}

}
}
