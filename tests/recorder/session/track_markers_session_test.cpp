// The take's track markers in the session on a fake display: Find Tracks on a planted side, the
// markers drawn in the view and kept beside the take across a restart, cleared by Record and by an
// import that succeeds, kept by one that fails; and the enable state of Find Tracks per phase.
// The markers edited by mouse and key in the real view (dragged, added, removed, played from) and
// kept across a restart; the zoomed view drawn from the take, and a selection dragged there saved
// and played to the frame.

#include "session_on_fake_display.h"

#include "session/control_states.h"

#include "tracks/marker_file.h"

#include "widgets/zoom_window.h"

#include "core/take_format.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <memory>

namespace wavelark {
namespace {

constexpr double kLeadIn = 1.0;
constexpr double kSong = 20.0;
constexpr double kGap = 2.0;
constexpr double kRunOut = 2.0;
const QRgb kMarkerPixel = qRgb(208, 96, 0);

class TrackMarkersSessionTest : public testing::SessionOnFakeDisplay {
protected:
    std::filesystem::path markersPath() const { return folder() / "recording.markers"; }
    // Three songs of a 1 kHz tone whose level moves note by note, two gaps and the lead-in and
    // run-out of quiet noise.
    void writeSide()
    {
        std::vector<int16_t> take;
        uint32_t noise = 12345;
        const auto quiet = [&](double seconds) {
            for (std::size_t frame = 0; frame < std::size_t(seconds * 44100); ++frame) {
                noise = noise * 1664525u + 1013904223u;
                const auto sample = static_cast<int16_t>(int(noise >> 24) % 40 - 20);
                take.insert(take.end(), {sample, sample});
            }
        };
        const auto song = [&](double seconds) {
            for (std::size_t frame = 0; frame < std::size_t(seconds * 44100); ++frame) {
                const double amplitude = 6000.0 + 3000.0 * std::sin(double(frame / 11025) * 1.7);
                const auto sample = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * 1000.0 * double(frame) / 44100));
                take.insert(take.end(), {sample, sample});
            }
        };
        quiet(kLeadIn);
        song(kSong);
        quiet(kGap);
        song(kSong);
        quiet(kGap);
        song(kSong);
        quiet(kRunOut);
        testing::writeSamples((folder() / "recording.raw").string(), take);
    }
    void mouse(QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF position(x, 60);
        QMouseEvent event(type, position, m_view->mapToGlobal(position), button, buttons, modifiers);
        QApplication::sendEvent(m_view.get(), &event);
    }
    void drag(int from, int to)
    {
        mouse(QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
        QTest::mousePress(m_view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(from, 60));
        mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        QTest::mouseRelease(m_view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(to, 60));
    }
    void key(Qt::Key which)
    {
        QKeyEvent event(QEvent::KeyPress, which, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &event);
    }
    int markerX(std::size_t index) const { return m_view->trackMarkerX(m_view->trackMarkerColumns()[index]); }
    TrackMarkers keptMarkers() const
    {
        auto kept = readMarkers(QString::fromStdString(markersPath().string()), std::string(), m_session->takeLength());
        return std::holds_alternative<TrackMarkers>(kept) ? std::get<TrackMarkers>(kept) : TrackMarkers();
    }
    uint64_t frameOfColumn(double column) const { return ZoomWindow(m_session->takeLength()).frameOfColumn(column); }
    // The markers' columns whose line the composed image shows (below the numbers).
    int drawnMarkers() const
    {
        int drawn = 0;
        const QImage& image = m_view->composedImage();
        for (const double column : m_view->trackMarkerColumns())
            drawn += image.pixel(m_view->trackMarkerX(column), image.height() - 10) == kMarkerPixel;
        return drawn;
    }
};

TEST_F(TrackMarkersSessionTest, FindTracksMarksEachSongKeepsAndDrawsTheMarkers)
{
    writeSide();
    start();
    ASSERT_TRUE(m_session->findTracks());
    const TrackMarkers markers = m_session->trackMarkers();
    ASSERT_EQ(markers.size(), 3u);
    // Each song starts at the end of the quiet before it, give or take half a second.
    const double songStarts[] = {kLeadIn, kLeadIn + kSong + kGap, kLeadIn + 2 * (kSong + kGap)};
    for (std::size_t index = 0; index < 3; ++index) {
        const double start = double(markers.markers()[index].frame) / 44100;
        EXPECT_GT(start, songStarts[index] - (index == 0 ? 0.5 : kGap + 0.5)) << index;
        EXPECT_LT(start, songStarts[index] + 0.5) << index;
    }
    EXPECT_LT(double(markers.end()) / 44100, kLeadIn + 3 * kSong + 2 * kGap + 0.5);
    EXPECT_EQ(m_display.status, QStringLiteral(" Tracks : 3"));
    EXPECT_TRUE(m_display.shown().empty());

    // Kept beside the take, for this take.
    const auto kept = readMarkers(QString::fromStdString(markersPath().string()), std::string(),
                                  m_session->takeLength());
    ASSERT_TRUE(std::holds_alternative<TrackMarkers>(kept));
    EXPECT_EQ(std::get<TrackMarkers>(kept), markers);

    // Drawn at their columns of the whole take, and only there.
    ASSERT_EQ(m_view->trackMarkerColumns().size(), 3u);
    EXPECT_EQ(drawnMarkers(), 3);
    const double secondColumn = m_view->trackMarkerColumns()[1];
    const double takeFrames = (kLeadIn + 3 * kSong + 2 * kGap + kRunOut) * 44100;
    EXPECT_NEAR(secondColumn, double(markers.markers()[1].frame) / takeFrames * 555, 0.01);
    const QImage& image = m_view->composedImage();
    EXPECT_NE(image.pixel(m_view->trackMarkerX(secondColumn) + 20, image.height() - 10), kMarkerPixel);

    // A restart over the same data folder draws them again.
    start();
    EXPECT_EQ(m_session->trackMarkers(), markers);
    EXPECT_EQ(drawnMarkers(), 3);
}

TEST_F(TrackMarkersSessionTest, ARefusedMarkerFileIsRemovedWithoutAWord)
{
    writeSide();
    testing::writeFile(markersPath(), "not a marker file");
    start();
    EXPECT_TRUE(m_session->trackMarkers().empty());
    EXPECT_FALSE(std::filesystem::exists(markersPath()));
    EXPECT_TRUE(m_display.shown().empty());
}

TEST_F(TrackMarkersSessionTest, RecordClearsTheMarkers)
{
    writeSide();
    start();
    ASSERT_TRUE(m_session->findTracks());
    m_session->recordCommand();
    ASSERT_EQ(m_session->phase(), SessionPhase::Recording);
    EXPECT_FALSE(std::filesystem::exists(markersPath()));
    EXPECT_TRUE(m_session->trackMarkers().empty());
    EXPECT_TRUE(m_view->trackMarkerColumns().empty());
    m_session->recordCommand();
    EXPECT_TRUE(m_view->trackMarkerColumns().empty());
}

TEST_F(TrackMarkersSessionTest, AnImportClearsTheMarkersAndAFailedOneKeepsThem)
{
    writeSide();
    start();
    ASSERT_TRUE(m_session->findTracks());
    const TrackMarkers found = m_session->trackMarkers();

    const std::string garbage = (folder() / "garbage.wav").string();
    testing::writeFile(garbage, std::string(4000, 'x'));
    EXPECT_FALSE(m_session->import(QString::fromStdString(garbage)));
    EXPECT_EQ(m_session->trackMarkers(), found);
    EXPECT_TRUE(std::filesystem::exists(markersPath()));
    EXPECT_EQ(drawnMarkers(), 3);

    ASSERT_TRUE(m_session->import(QString::fromStdString(writeSourceWav(3.0))));
    EXPECT_TRUE(m_session->trackMarkers().empty());
    EXPECT_FALSE(std::filesystem::exists(markersPath()));
    EXPECT_TRUE(m_view->trackMarkerColumns().empty());
}

TEST_F(TrackMarkersSessionTest, FindTracksWithoutATakeDoesNothing)
{
    start();
    EXPECT_FALSE(m_session->findTracks());
    EXPECT_FALSE(std::filesystem::exists(markersPath()));
    EXPECT_TRUE(m_session->trackMarkers().empty());
}

TEST_F(TrackMarkersSessionTest, MarkersDraggedAddedAndRemovedInTheViewAreKeptAcrossARestart)
{
    writeSide();
    start();
    ASSERT_TRUE(m_session->findTracks());
    const TrackMarkers found = m_session->trackMarkers();
    ASSERT_EQ(found.size(), 3u);

    // The second marker dragged 20 pixels to the right.
    const int from = markerX(1);
    drag(from, from + 20);
    EXPECT_EQ(m_session->trackMarkers().markers()[1].frame, frameOfColumn(from + 20));
    EXPECT_EQ(m_session->trackMarkers().markers()[0], found.markers()[0]);
    EXPECT_EQ(keptMarkers(), m_session->trackMarkers());

    // Ctrl+click adds one between the first two.
    const int between = (markerX(0) + markerX(1)) / 2;
    QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::ControlModifier, QPoint(between, 60));
    ASSERT_EQ(m_session->trackMarkers().size(), 4u);
    EXPECT_EQ(m_session->trackMarkers().markers()[1].frame, frameOfColumn(between));
    EXPECT_EQ(keptMarkers().size(), 4u);

    // Select the last one and Delete.
    const uint64_t last = m_session->trackMarkers().markers()[3].frame;
    QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(markerX(3), 60));
    key(Qt::Key_Delete);
    ASSERT_EQ(m_session->trackMarkers().size(), 3u);
    EXPECT_NE(m_session->trackMarkers().markers()[2].frame, last);
    EXPECT_EQ(m_view->trackMarkerFrames().size(), 3u);
    EXPECT_TRUE(m_display.shown().empty());

    const TrackMarkers edited = m_session->trackMarkers();
    start();
    EXPECT_EQ(m_session->trackMarkers(), edited);
    EXPECT_EQ(drawnMarkers(), 3);
}

TEST_F(TrackMarkersSessionTest, PPlaysFromTheSelectedMarkerAndMAddsOneAtTheSelection)
{
    writeSide();
    start();
    ASSERT_TRUE(m_session->findTracks());
    m_view->setSelection(20, 40);
    QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(markerX(1), 60));
    key(Qt::Key_P);
    ASSERT_TRUE(m_session->playing());
    EXPECT_EQ(m_session->player().playStart(), m_session->trackMarkers().markers()[1].frame * 4);
    EXPECT_EQ(m_view->firstEdge(), 20u);  // the selection stays
    m_session->playCommand();
    ASSERT_FALSE(m_session->playing());

    key(Qt::Key_M);  // column 20 lies in the first song
    ASSERT_EQ(m_session->trackMarkers().size(), 4u);
    EXPECT_EQ(m_session->trackMarkers().markers()[1].frame, frameOfColumn(20));
}

TEST_F(TrackMarkersSessionTest, AZoomedSelectionSavesAndPlaysToTheFrameAndARestartFallsBackToColumns)
{
    writeSide();
    start();
    for (int step = 0; step < 8; ++step)
        m_view->zoomIn();
    ASSERT_FALSE(m_view->zoom().whole());
    ASSERT_LE(m_view->zoom().framesPerPixel(), 441.0);  // 10 ms a pixel at most
    const ZoomWindow window = m_view->zoom();
    drag(100, 301);
    const std::optional<SaveRange> range = m_session->selectedRange();
    ASSERT_TRUE(range.has_value());
    EXPECT_EQ(range->start, window.frameAt(100) * 4);
    EXPECT_EQ(range->end, window.frameAt(301) * 4);
    // The whole-take columns alone would have cut elsewhere.
    const uint32_t length = m_session->takeLength();
    EXPECT_NE(range->end, wholeFrames(columnToOffset(m_view->secondEdge(), length)));
    // The drag played the exact selection.
    ASSERT_TRUE(m_session->playing());
    EXPECT_EQ(m_session->player().playStart(), range->start);
    EXPECT_EQ(m_session->player().playEnd(), range->end);
    m_session->playCommand();
    // Saved as WAV, the file holds exactly those frames.
    const std::filesystem::path archive = folder() / "archive";
    std::filesystem::create_directory(archive);
    setSettingsText(m_state.settings.archiveFolder, QString::fromStdString(archive.string() + "/"));
    ASSERT_TRUE(m_session->save(*range, SaveChoices{"cut", SaveFormat::Wav}));
    EXPECT_EQ(testing::wavSamples(testing::readFile(archive / "cut.wav")).size() * 2, range->bytes());

    // The zoomed picture is the take's: the second song's tone (a mono mix up to 9,000, 608 a
    // row) fills rows above the centre line (57) in every pixel.
    int farRows = 0;
    const QImage& image = m_view->composedImage();
    for (int y = 45; y < 55; ++y)
        farRows += image.pixel(450, y) == qRgb(0, 0, 128);
    EXPECT_GT(farRows, 0);

    const uint32_t first = m_view->firstEdge();
    const uint32_t second = m_view->secondEdge();
    start();
    EXPECT_FALSE(m_view->exactSelection().has_value());
    const std::optional<SaveRange> restarted = m_session->selectedRange();
    ASSERT_TRUE(restarted.has_value());
    EXPECT_EQ(restarted->start, wholeFrames(columnToOffset(std::min(first, second), length)));
    EXPECT_EQ(restarted->end, wholeFrames(columnToOffset(std::max(first, second), length)));
}

// Find Tracks works only with a take and while nothing runs.
TEST(ControlStatesTable, FindTracksNeedsATakeAndTheIdlePhase)
{
    struct Row {
        SessionPhase phase;
        bool hasTake;
        bool findTracks;
    };
    const Row rows[] = {
        {SessionPhase::Idle, true, true},       {SessionPhase::Idle, false, false},
        {SessionPhase::Recording, true, false}, {SessionPhase::Preparing, true, false},
        {SessionPhase::Playing, true, false},   {SessionPhase::Saving, true, false},
        {SessionPhase::Importing, true, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(controlStates(row.phase, row.hasTake).findTracks, row.findTracks)
            << int(row.phase) << " " << row.hasTake;
}

}
}
