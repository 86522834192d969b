// The main window: its controls and identifiers, the large buttons' painting, the level meters,
// the sliders and checkboxes, the progress reporter and the commands of this window.

#include "recorder_test_support.h"

#include "core/identifiers.h"
#include "widgets/large_button.h"
#include "widgets/level_meters.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "archive/archive_list.h"
#include "session/progress_reporter.h"
#include "app/recorder_application.h"

#include "audio/level_peaks.h"
#include "session/take_session.h"
#include "widgets/skin.h"
#include "widgets/waveform_view.h"

#include "sorvak_widgets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace wavelark {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
        settings.putInt(3144, 0);
        settings.putInt(2064, 30);
        testing::writeFile(m_home.settingsPath(), settings.bytes);
    }
    void start()
    {
        ASSERT_TRUE(m_recorder.startUp());
        m_window = m_recorder.mainWindow();
        ASSERT_NE(m_window, nullptr);
    }
    void TearDown() override { m_recorder.shutDown(); }
    // The "Change Archive Folder" dialog, when it comes, chooses folder.
    void answerFolderChoice(const std::filesystem::path& folder)
    {
        m_boxes.onTitle(QStringLiteral("Change Archive Folder"), [folder](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->setDirectory(QString::fromStdString(folder.string()));
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }
    template <typename Widget = QWidget>
    Widget* control(int id)
    {
        return qobject_cast<Widget*>(sorvak::findControl(m_window, id));
    }

    testing::RecorderHome m_home;
    testing::ModalRecorder m_boxes;
    RecorderApplication m_recorder;
    MainWindow* m_window = nullptr;
};

TEST_F(MainWindowTest, ControlsSitAtTheTemplatesGeometryWithTheirIdentifiers)
{
    start();
    EXPECT_EQ(m_window->clientArea()->size(), QSize(797, 436));
    EXPECT_EQ(control(ids::kViewFrame)->geometry(), QRect(23, 91, 555, 115));
    EXPECT_EQ(m_window->clientArea()->viewRect(), QRect(23, 91, 555, 115));
    EXPECT_EQ(control(ids::kRecordButton)->geometry(), QRect(224, 41, 87, 42));
    EXPECT_EQ(control(ids::kProgressBar)->geometry(), QRect(0, 403, 797, 13));
    for (int id : {ids::kRecordButton, ids::kPlayButton, ids::kImportButton, ids::kSaveButton, ids::kFolderButton,
                   ids::kExploreButton, ids::kDeleteButton, ids::kArchiveLabel, ids::kArchiveFolderText,
                   ids::kStatusLine, ids::kProgressBar, ids::kWebAddress, ids::kRecordSlider, ids::kPlaySlider,
                   ids::kRecordGainLabel, ids::kPlayGainLabel, ids::kPlayEnabledBox, ids::kRecordEnabledBox,
                   ids::kMonitorThruBox, ids::kZoomOutButton, ids::kZoomInButton, ids::kAllButton,
                   ids::kSelectionButton, ids::kStartButton, ids::kEndButton})
        EXPECT_TRUE(control(id) && control(id)->isVisible()) << id;
    for (int id : {ids::kViewFrame, ids::kArchiveFrame})
        EXPECT_TRUE(control(id) && control(id)->isHidden()) << id;
    EXPECT_EQ(control<QLabel>(ids::kArchiveFolderText)->text().toStdString(), " " + m_home.musicFolder());
    EXPECT_EQ(control<QLabel>(ids::kStatusLine)->text(), QStringLiteral(" Duration : 0:00"));
}

TEST_F(MainWindowTest, WithoutATakePlayAndSaveAreDisabled)
{
    start();
    EXPECT_FALSE(control(ids::kPlayButton)->isEnabled());
    EXPECT_FALSE(control(ids::kSaveButton)->isEnabled());
    EXPECT_TRUE(control(ids::kRecordButton)->isEnabled());
    EXPECT_TRUE(control(ids::kImportButton)->isEnabled());
    EXPECT_FALSE(m_window->menu()->action(ids::kFindTracks)->isEnabled());
}

TEST_F(MainWindowTest, WithATakePlayAndSaveAreEnabledAndTheDurationShown)
{
    // Three seconds of 44100 Hz 16-bit stereo.
    testing::writeFile(m_home.home() / "recording.raw", std::string(3 * 176400, '\0'));
    start();
    EXPECT_TRUE(control(ids::kPlayButton)->isEnabled());
    EXPECT_TRUE(control(ids::kSaveButton)->isEnabled());
    EXPECT_EQ(control<QLabel>(ids::kStatusLine)->text(), QStringLiteral(" Duration : 0:03"));
    EXPECT_TRUE(m_window->menu()->action(ids::kFindTracks)->isEnabled());
}

// The six zoom buttons keep the template's captions and places and zoom the view; the scroll bar
// under the view shows while it is zoomed and moves it; the selection's exact times stand over the
// buttons.
TEST_F(MainWindowTest, ZoomButtonsZoomTheViewAndTheScrollBarMovesIt)
{
    testing::writeFile(m_home.home() / "recording.raw", std::string(60 * 176400, '\0'));
    start();
    const struct {
        int id;
        const char* caption;
        int x;
    } buttons[] = {{ids::kZoomOutButton, "-", 23},   {ids::kZoomInButton, "+", 56}, {ids::kAllButton, "All", 89},
                   {ids::kSelectionButton, "Sel", 122}, {ids::kStartButton, "|--", 155}, {ids::kEndButton, "--|", 188}};
    for (const auto& button : buttons) {
        EXPECT_EQ(control<QPushButton>(button.id)->text(), QString::fromLatin1(button.caption));
        EXPECT_EQ(control(button.id)->geometry(), QRect(button.x, 72, 30, 16)) << button.caption;
    }
    WaveformView* view = m_window->waveformView();
    auto* scrollBar = m_window->clientArea()->findChild<QScrollBar*>();
    ASSERT_NE(scrollBar, nullptr);
    EXPECT_FALSE(scrollBar->isVisible());
    EXPECT_TRUE(scrollBar->geometry().top() > 206 && scrollBar->geometry().bottom() < 215);

    QTest::mouseClick(control(ids::kZoomInButton), Qt::LeftButton);
    QTest::mouseClick(control(ids::kZoomInButton), Qt::LeftButton);
    EXPECT_NEAR(view->zoom().framesPerPixel(), 60.0 * 44100 / 555 / 4, 1e-9);
    EXPECT_TRUE(scrollBar->isVisible());
    EXPECT_EQ(scrollBar->maximum(), view->zoom().scrollRange());
    QTest::mouseClick(control(ids::kStartButton), Qt::LeftButton);
    EXPECT_EQ(view->zoom().firstFrame(), 0u);
    EXPECT_EQ(scrollBar->value(), 0);
    scrollBar->setValue(scrollBar->maximum());
    EXPECT_EQ(view->zoom().firstFrame() + view->zoom().visibleFrames(), view->zoom().takeFrames());
    QTest::mouseClick(control(ids::kStartButton), Qt::LeftButton);
    QTest::mouseClick(control(ids::kEndButton), Qt::LeftButton);
    EXPECT_EQ(scrollBar->value(), scrollBar->maximum());
    QTest::mouseClick(control(ids::kZoomOutButton), Qt::LeftButton);
    EXPECT_NEAR(view->zoom().framesPerPixel(), 60.0 * 44100 / 555 / 2, 1e-9);
    QTest::mouseClick(control(ids::kAllButton), Qt::LeftButton);
    EXPECT_TRUE(view->zoom().whole());
    EXPECT_FALSE(scrollBar->isVisible());

    // A selection of the first ten seconds: Sel fills the view with it, and its times are shown.
    view->setSelection(0, 555 / 6);
    view->drawSelection();
    QTest::mouseClick(control(ids::kSelectionButton), Qt::LeftButton);
    EXPECT_EQ(view->zoom().firstFrame(), 0u);
    EXPECT_NEAR(view->zoom().framesPerPixel() * 555, 92.0 / 555 * 60 * 44100, 1.0);
    const QList<QLabel*> labels = m_window->clientArea()->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
        return label->text() == QStringLiteral("0:00.000 - 0:09.945 (0:09.945)");
    }));
}

// "Find Tracks" closes the File menu, after its existing entries, and runs the session's finder:
// a silent take holds no song.
TEST_F(MainWindowTest, FindTracksEndsTheFileMenuAndReportsTheTracksFound)
{
    testing::writeFile(m_home.home() / "recording.raw", std::string(3 * 176400, '\0'));
    start();
    QAction* findTracks = m_window->menu()->action(ids::kFindTracks);
    ASSERT_NE(findTracks, nullptr);
    EXPECT_EQ(testing::shownText(findTracks->text()), QStringLiteral("Find Tracks"));
    const QList<QAction*> fileEntries = m_window->menuBar()->actions().first()->menu()->actions();
    ASSERT_EQ(fileEntries.size(), 3);
    EXPECT_EQ(fileEntries[0], m_window->menu()->action(ids::kExit));
    EXPECT_EQ(fileEntries[1], findTracks);
    // "Save Tracks..." follows, and works only on a take with track markers.
    QAction* saveTracks = m_window->menu()->action(ids::kSaveTracks);
    EXPECT_EQ(fileEntries[2], saveTracks);
    EXPECT_EQ(testing::shownText(saveTracks->text()), QStringLiteral("Save Tracks..."));
    EXPECT_FALSE(saveTracks->isEnabled());
    findTracks->trigger();
    EXPECT_TRUE(control<QLabel>(ids::kStatusLine)->text().startsWith(QStringLiteral(" Tracks : ")));
    EXPECT_EQ(saveTracks->isEnabled(), !m_window->session()->trackMarkers().empty())
        << control<QLabel>(ids::kStatusLine)->text().toStdString();
}

struct PaintedButton {
    QImage image;
    // Behind the caption the gradient stays between about 145 and 200 in every channel, so
    // white text shows as pixels brighter than it and grey (128) text as pixels darker.
    int whiteTextPixels = 0;
    int greyTextPixels = 0;
};

PaintedButton paint(QWidget* button)
{
    PaintedButton painted;
    painted.image = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The caption's band: the lowest 5 + text height rows above the bottom margin.
    for (int y = painted.image.height() - 20; y < painted.image.height() - 5; ++y) {
        for (int x = 4; x < painted.image.width() - 4; ++x) {
            const QRgb pixel = painted.image.pixel(x, y);
            const int brightest = std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)});
            const int darkest = std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)});
            painted.whiteTextPixels += darkest >= 230;
            painted.greyTextPixels += brightest <= 136;
        }
    }
    return painted;
}

// Counts the opaque pixels of image drawn at (x, y) that the painted button shows unchanged.
int matchingImagePixels(const QImage& painted, const QPixmap& image, int x, int y, int* opaque)
{
    const QImage source = image.toImage().convertToFormat(QImage::Format_ARGB32);
    int matching = 0;
    *opaque = 0;
    for (int row = 0; row < source.height(); ++row) {
        for (int column = 0; column < source.width(); ++column) {
            const QRgb pixel = source.pixel(column, row);
            if (qAlpha(pixel) != 255)
                continue;
            ++*opaque;
            matching += (painted.pixel(x + column, y + row) & 0xFFFFFF) == (pixel & 0xFFFFFF);
        }
    }
    return matching;
}

TEST_F(MainWindowTest, DisabledLargeButtonShowsItsGreyImageAndGreyText)
{
    start();
    const ButtonImages& images = m_recorder.skin().images(LargeButton::Play);
    const PaintedButton disabled = paint(control(ids::kPlayButton));
    int opaque = 0;
    EXPECT_EQ(matchingImagePixels(disabled.image, images.grey, kLargeButtonImageX, 7, &opaque), opaque);
    EXPECT_GT(opaque, 20);
    EXPECT_LT(matchingImagePixels(disabled.image, images.normal, kLargeButtonImageX, 7, &opaque), opaque / 2);
    EXPECT_GT(disabled.greyTextPixels, 10);
    EXPECT_EQ(disabled.whiteTextPixels, 0);

    control(ids::kPlayButton)->setEnabled(true);
    const PaintedButton enabled = paint(control(ids::kPlayButton));
    EXPECT_EQ(matchingImagePixels(enabled.image, images.normal, kLargeButtonImageX, 7, &opaque), opaque);
    EXPECT_GT(enabled.whiteTextPixels, 10);
}

TEST_F(MainWindowTest, PressedLargeButtonDrawsItsImageOnePixelLower)
{
    start();
    auto* record = control<QPushButton>(ids::kRecordButton);
    const QPixmap& image = m_recorder.skin().images(LargeButton::Record).normal;
    int opaque = 0;
    record->setDown(true);
    const QImage pressed = paint(record).image;
    EXPECT_EQ(matchingImagePixels(pressed, image, kLargeButtonImageX, 8, &opaque), opaque);
    EXPECT_LT(matchingImagePixels(pressed, image, kLargeButtonImageX, 7, &opaque), opaque);
    record->setDown(false);
}

TEST_F(MainWindowTest, MetersStartFullAndFallToEmptyInTwentySixTicks)
{
    start();
    const LevelPeaks& levels = m_window->session()->levels();
    EXPECT_GT(levels.left(), 0.9);
    EXPECT_GT(levels.right(), 0.9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return levels.left() <= 1e-9; }, 5000));
    EXPECT_GE(m_window->ticks(), 26u);
    EXPECT_LE(levels.right(), 1e-9);
}

// Compares the painted meter column with the pattern, row by row from y 27.
void expectMeterRows(const QImage& painted, const QImage& pattern, int firstRow, int endRow)
{
    for (int y = firstRow; y < endRow; ++y)
        for (int x = 0; x < kMeterWidth; ++x)
            ASSERT_EQ(painted.pixel(kLeftMeterX + x, y), pattern.pixel(x, (y - kMeterTop) % pattern.height()))
                << "row " << y << " column " << x;
}

TEST(LevelMeter, SegmentsFollowThePeakWithPatternsAnchoredAtTheMeterTop)
{
    testing::ensureApplication();
    Skin skin;
    QString error;
    ASSERT_TRUE(loadSkin(skin, &error)) << error.toStdString();
    const QImage lit = skin.meterLit.convertToFormat(QImage::Format_RGB32);
    const QImage unlit = skin.meterUnlit.convertToFormat(QImage::Format_RGB32);
    const auto draw = [&](double peak) {
        QImage image(700, 420, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        drawLevelMeter(painter, skin, kLeftMeterX, peak);
        return image;
    };
    // Full: the lit pattern fills 26 segments up from 364, one row above the meter's top.
    expectMeterRows(draw(1.0), lit, 27, 364);
    // Half: trunc(0.5 x 26) = 13 unlit segments from the top, 13 lit ones from the bottom.
    const QImage half = draw(0.5);
    expectMeterRows(half, unlit, 27, 27 + 13 * 13 - 1);
    expectMeterRows(half, lit, 364 - 13 * 13, 364);
    // 0.3: trunc(0.7 x 26) = 18 unlit, trunc(0.3 x 26) = 7 lit, and the background between.
    const QImage partial = draw(0.3);
    expectMeterRows(partial, unlit, 27, 27 + 18 * 13);
    expectMeterRows(partial, lit, 364 - 7 * 13, 364);
    EXPECT_EQ(partial.pixel(kLeftMeterX + 5, 27 + 18 * 13 + 5), qRgb(0, 0, 0));
    // Below empty (the timer's last fall): 26 unlit segments (27 + 338 = 365), nothing below.
    const QImage below = draw(-0.03);
    expectMeterRows(below, unlit, 27, 365);
    for (int y = 365; y < 420; ++y)
        ASSERT_EQ(below.pixel(kLeftMeterX + 5, y), qRgb(0, 0, 0)) << y;
}

TEST_F(MainWindowTest, SlidersStoreTheirPositionAndShowTheGain)
{
    start();
    EXPECT_EQ(control<QSlider>(ids::kPlaySlider)->value(), 30);
    EXPECT_EQ(control<QLabel>(ids::kPlayGainLabel)->text(), QStringLiteral("x 0.70"));
    EXPECT_EQ(control<QLabel>(ids::kRecordGainLabel)->text(), QStringLiteral("x 1.00"));
    control<QSlider>(ids::kRecordSlider)->setValue(25);
    EXPECT_EQ(m_recorder.state().settings.recordSlider, 25);
    EXPECT_DOUBLE_EQ(m_window->session()->engine().recordGain(), 0.75);
    EXPECT_EQ(control<QLabel>(ids::kRecordGainLabel)->text(), QStringLiteral("x 0.75"));
    m_recorder.shutDown();
    EXPECT_EQ(testing::intAt(testing::readFile(m_home.settingsPath()), 2060), 25);
}

TEST_F(MainWindowTest, CheckboxesWriteTheirFields)
{
    start();
    QTest::mouseClick(control(ids::kRecordEnabledBox), Qt::LeftButton);
    EXPECT_EQ(m_recorder.state().settings.recordEnabled, 0);
    QTest::mouseClick(control(ids::kMonitorThruBox), Qt::LeftButton);
    EXPECT_EQ(m_recorder.state().settings.monitorThru, 1);
    EXPECT_TRUE(m_window->session()->monitorThru());
    QTest::mouseClick(control(ids::kPlayEnabledBox), Qt::LeftButton);
    QTest::mouseClick(control(ids::kPlayEnabledBox), Qt::LeftButton);
    EXPECT_EQ(m_recorder.state().settings.playEnabled, 1);
}

TEST_F(MainWindowTest, ProgressReporterShowsThePercentageAndNeverCancels)
{
    start();
    {
        const ProgressRoute importing(conversionProgress(*m_window, ProgressActivity::Importing));
        EXPECT_EQ(progressReporter(42), 0);
        EXPECT_EQ(control<QProgressBar>(ids::kProgressBar)->value(), 42);
        EXPECT_EQ(control<QLabel>(ids::kStatusLine)->text(), QStringLiteral(" Importing Audio File . . . 42 %"));
    }
    const ProgressRoute saving(conversionProgress(*m_window, ProgressActivity::Saving));
    EXPECT_EQ(progressReporter(7), 0);
    EXPECT_EQ(control<QLabel>(ids::kStatusLine)->text(), QStringLiteral(" Saving Audio File . . . 7 %"));
}

TEST_F(MainWindowTest, AboutBoxNamesTheBuild)
{
    start();
    m_window->menu()->action(ids::kAbout)->trigger();
    ASSERT_EQ(m_boxes.seen().size(), 1u);
    EXPECT_EQ(m_boxes.seen()[0].title, QStringLiteral("About"));
    EXPECT_TRUE(m_boxes.seen()[0].text.startsWith(QStringLiteral("Wavelark 2.0 - Build ")));
}

TEST_F(MainWindowTest, CancelledFolderChoiceKeepsTheArchiveFolder)
{
    start();
    QTest::mouseClick(control(ids::kFolderButton), Qt::LeftButton);
    EXPECT_EQ(m_boxes.seen().size(), 1u);
    EXPECT_EQ(std::string(m_recorder.state().settings.archiveFolder), m_home.musicFolder());
    EXPECT_TRUE(m_window->isEnabled());
}

// The label and the record say the new folder before its files are listed (the window repaints
// between): a snapshot at every turn of the event loop sees them changed while the list is not.
TEST_F(MainWindowTest, ChosenFolderIsShownAndKeptBeforeItIsListed)
{
    start();
    const std::filesystem::path folder = m_home.folder().path() / "chosen";
    std::filesystem::create_directories(folder);
    testing::writeFile(folder / "tone.wav", std::string(4000, '\0'));
    const std::string stored = folder.string() + "/";
    struct Snapshot {
        QString label;
        std::string folder;
        int listed;
        bool operator==(const Snapshot&) const = default;
    };
    std::vector<Snapshot> seen;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const Snapshot now{control<QLabel>(ids::kArchiveFolderText)->text(),
                           std::string(m_recorder.state().settings.archiveFolder),
                           m_window->archiveList()->topLevelItemCount()};
        if (seen.empty() || !(seen.back() == now))
            seen.push_back(now);
    });
    watch.start();
    answerFolderChoice(folder);
    QTest::mouseClick(control(ids::kFolderButton), Qt::LeftButton);
    watch.stop();
    EXPECT_EQ(std::string(m_recorder.state().settings.archiveFolder), stored);
    EXPECT_EQ(m_window->archiveList()->topLevelItemCount(), 1);
    const Snapshot beforeListing{QString::fromStdString(" " + stored), stored, 0};
    EXPECT_NE(std::find(seen.begin(), seen.end(), beforeListing), seen.end());
}

using testing::FakeOpener;

TEST_F(MainWindowTest, FolderTooLongForTheSettingsIsRefusedWithAMessage)
{
    start();
    std::filesystem::path folder = m_home.folder().path();
    while (folder.string().size() < 2100)
        folder /= std::string(200, 'f');
    std::filesystem::create_directories(folder);
    answerFolderChoice(folder);
    QTest::mouseClick(control(ids::kFolderButton), Qt::LeftButton);
    EXPECT_EQ(std::string(m_recorder.state().settings.archiveFolder), m_home.musicFolder());
    ASSERT_EQ(m_boxes.titles().count(QStringLiteral("Archive Folder")), 1);
    EXPECT_TRUE(m_boxes.seen().back().text.contains(QStringLiteral("longer than Wavelark can keep")));
}

TEST_F(MainWindowTest, GuideContactAndExploreAreHandedToTheDesktop)
{
    start();
    FakeOpener desktop(0);
    m_window->menu()->action(ids::kOnlineGuide)->trigger();
    m_window->menu()->action(ids::kContactUs)->trigger();
    QTest::mouseClick(control(ids::kExploreButton), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.opened().size() == 3; }, 10000));
    QStringList opened = desktop.opened();
    opened.sort();
    // The test program has no guide beside it: the embedded page is written to the data folder.
    EXPECT_TRUE(opened.contains(QUrl::fromLocalFile(QString::fromStdString((m_home.home() / "wavelark-guide.html").string()))
                                    .toString(QUrl::FullyEncoded)));
    EXPECT_NE(testing::readFile(m_home.home() / "wavelark-guide.html").find("Audio leads"), std::string::npos);
    EXPECT_TRUE(opened.filter(QStringLiteral("mailto:")).size() == 1);
    EXPECT_TRUE(opened.contains(QUrl::fromLocalFile(QString::fromStdString(m_home.musicFolder())).toString(QUrl::FullyEncoded)));
    QTest::qWait(100);
    EXPECT_TRUE(m_boxes.seen().empty());
}

TEST_F(MainWindowTest, LinksTheDesktopCannotOpenAreReported)
{
    start();
    FakeOpener desktop(3);
    m_window->menu()->action(ids::kOnlineGuide)->trigger();
    m_window->menu()->action(ids::kContactUs)->trigger();
    QTest::mouseClick(control(ids::kExploreButton), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_boxes.seen().size() == 3; }, 10000));
    QStringList texts;
    for (const auto& box : m_boxes.seen())
        texts << box.text;
    EXPECT_EQ(texts.filter(QStringLiteral("could not open the user guide")).size(), 1);
    EXPECT_EQ(texts.filter(QStringLiteral("could not open the mail address")).size(), 1);
    EXPECT_EQ(texts.filter(QStringLiteral("could not open the archive folder")).size(), 1);
}

TEST_F(MainWindowTest, ExitClosesTheWindow)
{
    start();
    bool closed = false;
    m_window->setClosedHandler([&closed] { closed = true; });
    m_window->menu()->action(ids::kExit)->trigger();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(m_window->isVisible());
}

}
}
