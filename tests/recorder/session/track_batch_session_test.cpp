// Save Tracks in the session on a fake display: a generated side of three songs saved as MP3,
// WMA, FLAC and WAV and read back by ffprobe and ffmpeg (tags, durations, the side's one maximise gain,
// the fades at the cuts), the cue sheet and playlist beside the tracks, Cancel in the middle, the
// one question before replacing, the start after an interrupted batch, and the dialog filled and
// saved as a user would.

#include "session_on_fake_display.h"

#include "app/save_tracks_dialog.h"

#include "tracks/marker_file.h"

#include "take/save_conversion.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <variant>

namespace wavelark {
namespace {

namespace fs = std::filesystem;

constexpr double kSongSeconds = 3.0;
// Each track lasts to the next one's start, so the gap before a song ends the track before it.
constexpr double kTrackSeconds[] = {3.5, 3.5, 3.0};
constexpr double kGapSeconds = 0.5;
// The songs' amplitudes: the side's peak is the second one's.
constexpr double kAmplitudes[] = {8000.0, 16000.0, 4000.0};

std::string fileText(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// ffprobe's report on the file's container: its duration in seconds and its tags, keys in lower case.
struct Probe {
    double duration = 0.0;
    std::map<std::string, std::string> tags;
};

Probe probe(const fs::path& path)
{
    const testing::CommandResult result = testing::runCommand(
        "ffprobe -v error -show_format -show_entries format_tags -of json " + testing::shellQuoted(path.string()));
    Probe found;
    const QJsonObject format = QJsonDocument::fromJson(QByteArray::fromStdString(result.output)).object()["format"].toObject();
    found.duration = format["duration"].toString().toDouble();
    const QJsonObject tags = format["tags"].toObject();
    for (auto tag = tags.begin(); tag != tags.end(); ++tag)
        found.tags[tag.key().toLower().toStdString()] = tag.value().toString().toStdString();
    return found;
}

class TrackBatchSessionTest : public testing::SessionOnFakeDisplay {
protected:
    // Three songs of a 440 Hz tone at kAmplitudes, each after half a second of silence, marked
    // at each song's start, the last ending where its song does.
    void writeSide(double songSeconds = kSongSeconds)
    {
        std::vector<int16_t> take;
        TrackMarkers markers(0);
        std::vector<uint64_t> starts;
        const auto frames = [](double seconds) { return static_cast<std::size_t>(seconds * 44100); };
        for (const double amplitude : kAmplitudes) {
            take.insert(take.end(), 2 * frames(kGapSeconds), 0);
            starts.push_back(take.size() / 2);
            for (std::size_t frame = 0; frame < frames(songSeconds); ++frame) {
                const auto sample = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * 440.0 * double(frame) / 44100));
                take.insert(take.end(), {sample, sample});
            }
        }
        const uint64_t end = take.size() / 2;
        take.insert(take.end(), 2 * frames(kGapSeconds), 0);
        testing::writeSamples((folder() / "recording.raw").string(), take);
        markers = TrackMarkers(take.size() * 2);
        for (const uint64_t start : starts)
            markers.add(start);
        markers.setEnd(end);
        ASSERT_FALSE(writeMarkers(markersPathFor(m_state.paths), markers, std::string()));
    }
    TrackBatchChoices choices(SaveFormat format) const
    {
        TrackBatchChoices chosen;
        chosen.tags = {"Blue Side", "The Testers", "1979"};
        chosen.titles = {"Opening", "Song/Two", "Last \"One\""};
        chosen.format = format;
        return chosen;
    }
    std::vector<std::string> archiveNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    bool anyNamed(const std::string& part) const
    {
        const std::vector<std::string> names = archiveNames();
        return std::any_of(names.begin(), names.end(), [&](const std::string& name) { return name.find(part) != std::string::npos; });
    }
    static bool never() { return false; }
};

struct TaggedFormatRow {
    SaveFormat format;
    const char* extension;
    const char* trackTag;     // what ffprobe reports for the second track's number
    double durationSlack;     // seconds a codec's frames may add
};

class TaggedBatchTest : public TrackBatchSessionTest, public ::testing::WithParamInterface<TaggedFormatRow> {};

TEST_P(TaggedBatchTest, EveryTrackIsSavedWithItsTagsAndLengthAndTheSideFilesList)
{
    const TaggedFormatRow row = GetParam();
    writeSide();
    start();
    ASSERT_EQ(m_session->trackMarkers().size(), 3u);
    ASSERT_TRUE(m_session->saveTracks(choices(row.format), never));
    EXPECT_TRUE(m_display.shown().empty()) << m_display.shown().front().text.toStdString();
    EXPECT_EQ(m_display.archiveRefreshes, 1);
    const std::string extension = row.extension;
    const std::string names[] = {"01 Opening" + extension, "02 Song-Two" + extension, "03 Last 'One'" + extension};
    const char* titles[] = {"Opening", "Song/Two", "Last \"One\""};
    for (int index = 0; index < 3; ++index) {
        Probe found = probe(folder() / names[index]);
        EXPECT_NEAR(found.duration, kTrackSeconds[index], row.durationSlack) << names[index];
        EXPECT_EQ(found.tags["title"], titles[index]) << names[index];
        EXPECT_EQ(found.tags["artist"], "The Testers") << names[index];
        EXPECT_EQ(found.tags["album"], "Blue Side") << names[index];
        // ID3v2's year reads as "date", the ASF attribute by its own name.
        const std::string year = found.tags.count("date") ? found.tags["date"] : found.tags["wm/year"];
        EXPECT_EQ(year, "1979") << names[index];
        if (index == 1) {
            EXPECT_EQ(found.tags["track"], row.trackTag);
        }
    }
    // The cue sheet names each track's file and title; the playlist each file with its length.
    const std::string cue = fileText(folder() / "Blue Side.cue");
    EXPECT_NE(cue.find("PERFORMER \"The Testers\""), std::string::npos) << cue;
    EXPECT_NE(cue.find("FILE \"02 Song-Two" + extension + "\""), std::string::npos) << cue;
    EXPECT_NE(cue.find("TITLE \"Last 'One'\""), std::string::npos) << cue;
    const std::string playlist = fileText(folder() / "Blue Side.m3u8");
    EXPECT_EQ(playlist.rfind("#EXTM3U\n", 0), 0u) << playlist;
    EXPECT_NE(playlist.find("#EXTINF:4,The Testers - Song/Two\n02 Song-Two" + extension + "\n"), std::string::npos) << playlist;
    // Nothing of the work is left: no side file, temporary WAV or mark.
    EXPECT_FALSE(anyNamed(".part"));
    EXPECT_FALSE(anyNamed("temp"));
    EXPECT_FALSE(fs::exists(folder() / "saving.mark"));
}

INSTANTIATE_TEST_SUITE_P(Formats, TaggedBatchTest,
                         ::testing::Values(TaggedFormatRow{SaveFormat::Mp3, ".mp3", "2/3", 0.1},
                                           TaggedFormatRow{SaveFormat::Wma, ".wma", "2", 0.1},
                                           TaggedFormatRow{SaveFormat::Flac, ".flac", "2", 0.001}));

// The loudest sample of each saved WAV track.
int16_t peakOf(const fs::path& path)
{
    const std::vector<int16_t> samples = testing::wavSamples(fileText(path));
    int16_t peak = 0;
    for (const int16_t sample : samples)
        peak = std::max<int16_t>(peak, sample);
    return peak;
}

TEST_F(TrackBatchSessionTest, OneMaximiseGainForTheSideKeepsTheSongsRelativeLevels)
{
    writeSide();
    start();
    struct Row {
        PeakCeiling ceiling;
        double loudest;
    };
    for (const Row row : {Row{PeakCeiling::ZeroDbfs, 32766.0}, Row{PeakCeiling::MinusOneDbfs, 32767.0 * 0.891250938}}) {
        m_display.answer = true;  // the second round replaces the first one's files
        TrackBatchChoices chosen = choices(SaveFormat::Wav);
        chosen.maximiseOn = true;
        chosen.ceiling = row.ceiling;
        ASSERT_TRUE(m_session->saveTracks(chosen, never));
        const int16_t peaks[] = {peakOf(folder() / "01 Opening.wav"), peakOf(folder() / "02 Song-Two.wav"),
                                 peakOf(folder() / "03 Last 'One'.wav")};
        // The loudest song reaches the ceiling; the others keep their level relative to it.
        EXPECT_NEAR(peaks[1], row.loudest, 2.0);
        EXPECT_NEAR(double(peaks[0]) / peaks[1], kAmplitudes[0] / kAmplitudes[1], 0.001);
        EXPECT_NEAR(double(peaks[2]) / peaks[1], kAmplitudes[2] / kAmplitudes[1], 0.001);
    }
}

TEST_F(TrackBatchSessionTest, FadesAtTheCutsStartAndEndEveryTrackInSilence)
{
    writeSide();
    start();
    TrackBatchChoices chosen = choices(SaveFormat::Wav);
    chosen.fadesOn = true;
    chosen.fadeMilliseconds = 50;
    ASSERT_TRUE(m_session->saveTracks(chosen, never));
    // A track starts with its song at full level and the last one ends in it: both cuts are faded.
    const std::vector<int16_t> second = testing::wavSamples(fileText(folder() / "02 Song-Two.wav"));
    const std::vector<int16_t> last = testing::wavSamples(fileText(folder() / "03 Last 'One'.wav"));
    ASSERT_EQ(second.size(), std::size_t(2 * kTrackSeconds[1] * 44100));
    ASSERT_EQ(last.size(), std::size_t(2 * kTrackSeconds[2] * 44100));
    const auto largest = [](const std::vector<int16_t>& samples, std::size_t from, std::size_t count) {
        int largest = 0;
        for (std::size_t index = from; index < from + count; ++index)
            largest = std::max(largest, std::abs(int(samples[index])));
        return largest;
    };
    // The first and last 2 ms are near silence, the middle at the song's level.
    EXPECT_LT(largest(second, 0, 2 * 88), 200);
    EXPECT_LT(largest(last, last.size() - 2 * 88, 2 * 88), 200);
    EXPECT_GT(largest(second, second.size() / 2, 2 * 4410), 15000);
    // Without the fades the same cuts are at full level.
    m_display.answer = true;
    chosen.fadesOn = false;
    ASSERT_TRUE(m_session->saveTracks(chosen, never));
    EXPECT_GT(largest(testing::wavSamples(fileText(folder() / "02 Song-Two.wav")), 0, 2 * 88), 5000);
}

TEST_F(TrackBatchSessionTest, CancelInTheMiddleLeavesNoPartialFile)
{
    // Songs long enough that the encoders are still at work when Cancel is seen.
    writeSide(60.0);
    start();
    // Cancel as soon as an encoder is writing a side file.
    EXPECT_FALSE(m_session->saveTracks(choices(SaveFormat::Mp3), [this] { return anyNamed(".part"); }));
    ASSERT_FALSE(m_display.shown().empty());
    EXPECT_NE(m_display.shown().back().text.indexOf(QStringLiteral("cancelled")), -1);
    EXPECT_FALSE(anyNamed(".part"));
    EXPECT_FALSE(anyNamed("temp"));
    EXPECT_FALSE(anyNamed(".cue"));
    EXPECT_FALSE(fs::exists(folder() / "saving.mark"));
    // The encoders stopped part-way: no track was finished, none was left short.
    EXPECT_FALSE(anyNamed(".mp3"));
    EXPECT_EQ(m_session->phase(), SessionPhase::Idle);
    // The titles typed are kept with the markers, beside the take too, for the next try.
    const std::vector<std::string> typed = choices(SaveFormat::Mp3).titles;
    for (std::size_t index = 0; index < typed.size(); ++index)
        EXPECT_EQ(m_session->trackMarkers().markers()[index].title, typed[index]);
    auto kept = readMarkers(markersPathFor(m_state.paths), std::string(), m_session->takeLength());
    ASSERT_TRUE(std::holds_alternative<TrackMarkers>(kept));
    EXPECT_EQ(std::get<TrackMarkers>(kept), m_session->trackMarkers());
}

TEST_F(TrackBatchSessionTest, ATrackThatCannotBeWrittenStopsTheBatchAndSaysWhich)
{
    writeSide();
    start();
    // A folder where the second track's encoder would write.
    fs::create_directory(folder() / "02 Song-Two.mp3.part");
    EXPECT_FALSE(m_session->saveTracks(choices(SaveFormat::Mp3), never));
    const auto shown = m_display.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("SAVE TRACKS"));
    EXPECT_NE(shown[0].text.indexOf(QStringLiteral("/02 Song-Two.mp3\" could not be saved")), -1) << shown[0].text.toStdString();
    EXPECT_NE(shown[0].text.indexOf(QStringLiteral("of 3 tracks were saved and kept")), -1);
    EXPECT_FALSE(fs::exists(folder() / "02 Song-Two.mp3"));
    EXPECT_FALSE(anyNamed(".cue"));
    EXPECT_FALSE(anyNamed(".m3u8"));
    EXPECT_FALSE(anyNamed("temp"));
    EXPECT_FALSE(fs::exists(folder() / "saving.mark"));
    EXPECT_FALSE(m_display.healthShown);
}

TEST_F(TrackBatchSessionTest, FilesThatExistAreReplacedOnlyAfterOneQuestionForTheBatch)
{
    writeSide();
    start();
    const fs::path first = folder() / "01 Opening.mp3";
    const fs::path cue = folder() / "Blue Side.cue";
    std::ofstream(first) << "old";
    std::ofstream(cue) << "old";

    m_display.answer = false;
    EXPECT_FALSE(m_session->saveTracks(choices(SaveFormat::Mp3), never));
    ASSERT_EQ(m_display.messages.size(), 1u);
    EXPECT_EQ(m_display.messages[0].kind, QStringLiteral("ask"));
    EXPECT_NE(m_display.messages[0].text.indexOf(QStringLiteral("2 of the files")), -1);
    EXPECT_EQ(fileText(first), "old");
    EXPECT_FALSE(fs::exists(folder() / "02 Song-Two.mp3"));

    m_display.messages.clear();
    m_display.answer = true;
    EXPECT_TRUE(m_session->saveTracks(choices(SaveFormat::Mp3), never));
    ASSERT_EQ(m_display.messages.size(), 1u);
    EXPECT_EQ(m_display.messages[0].kind, QStringLiteral("ask"));
    EXPECT_NE(fileText(first), "old");
    EXPECT_NE(fileText(cue).find("FILE \"01 Opening.mp3\""), std::string::npos);
}

TEST_F(TrackBatchSessionTest, TheStartAfterAnInterruptedBatchRemovesItsPartsAndNamesTheMissingFiles)
{
    writeSide();
    const QString archive = QString::fromStdString(folder().string() + "/");
    std::ofstream(folder() / "02 Song-Two.mp3.part") << "half";
    std::ofstream(folder() / "temp-02.wav") << "half";
    std::ofstream(folder() / "01 Opening.mp3") << "whole";
    ASSERT_TRUE(writeBatchSavingMark(m_state.paths, {{archive + "02 Song-Two.mp3.part", "02 Song-Two.mp3"},
                                                     {archive + "Blue Side.cue.part", "Blue Side.cue"}})
                    .isEmpty());
    start();
    const auto shown = m_display.shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.back().text.indexOf(QStringLiteral("\"02 Song-Two.mp3\", \"Blue Side.cue\"")), -1)
        << shown.back().text.toStdString();
    EXPECT_FALSE(fs::exists(folder() / "02 Song-Two.mp3.part"));
    EXPECT_FALSE(fs::exists(folder() / "temp-02.wav"));
    EXPECT_FALSE(fs::exists(folder() / "saving.mark"));
    EXPECT_EQ(fileText(folder() / "01 Opening.mp3"), "whole");
}

TEST_F(TrackBatchSessionTest, TheDialogFilledAndSavedGivesTheBatchItsTitlesAndTags)
{
    writeSide();
    start();
    SaveTracksDialog dialog(m_state.settings, m_session->trackMarkers(), nullptr, nullptr);
    ASSERT_EQ(dialog.titleTable()->rowCount(), 3);
    EXPECT_EQ(dialog.titleTable()->item(0, 0)->text(), QStringLiteral("Track 01"));
    QTest::keyClicks(dialog.albumField(), QStringLiteral("Red Side"));
    QTest::keyClicks(dialog.artistField(), QStringLiteral("Band"));
    QTest::keyClicks(dialog.yearField(), QStringLiteral("1984"));
    dialog.titleTable()->item(1, 0)->setText(QStringLiteral("Middle Song"));
    dialog.formatCombo()->setCurrentIndex(int(SaveFormat::Wav));
    dialog.fadesBox()->setChecked(true);
    dialog.maximiseBox()->setChecked(true);
    dialog.ceilingCombo()->setCurrentIndex(1);
    auto* save = dialog.findChild<QPushButton*>(QStringLiteral("saveButton"));
    ASSERT_NE(save, nullptr);
    QTest::mouseClick(save, Qt::LeftButton);
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const TrackBatchChoices& chosen = dialog.choices();
    EXPECT_EQ(chosen.tags.album, "Red Side");
    EXPECT_TRUE(chosen.fadesOn);
    EXPECT_EQ(chosen.ceiling, PeakCeiling::MinusOneDbfs);
    ASSERT_TRUE(m_session->saveTracks(chosen, never));
    EXPECT_TRUE(fs::exists(folder() / "01 Track 01.wav"));
    EXPECT_TRUE(fs::exists(folder() / "02 Middle Song.wav"));
    EXPECT_TRUE(fs::exists(folder() / "Red Side.m3u8"));
}

TEST_F(TrackBatchSessionTest, TheDialogOffersEveryFormatOfTheSaveAndWmaOnlyAtHigh)
{
    writeSide();
    start();
    SaveTracksDialog dialog(m_state.settings, m_session->trackMarkers(), nullptr, nullptr);
    const QStringList formats = saveFormatNames();
    ASSERT_GE(formats.size(), 3);
    EXPECT_EQ(formats.mid(0, 3), (QStringList{"MP3", "WMA", "WAV"}));
    EXPECT_EQ(dialog.formatCombo()->count(), formats.size());
    dialog.qualityCombo()->setCurrentIndex(2);
    dialog.formatCombo()->setCurrentIndex(int(SaveFormat::Wma));
    EXPECT_EQ(dialog.qualityCombo()->currentIndex(), 0);
    EXPECT_FALSE(dialog.qualityCombo()->isEnabled());
}

}
}

namespace wavelark {
namespace {

TEST(SaveTracksState, IsEnabledOnlyWhileIdleWithATakeThatHasMarkers)
{
    struct Row {
        SessionPhase phase;
        bool hasTake;
        bool hasMarkers;
        bool saveTracks;
    };
    const Row rows[] = {
        {SessionPhase::Idle, true, true, true},       {SessionPhase::Idle, true, false, false},
        {SessionPhase::Idle, false, true, false},     {SessionPhase::Recording, true, true, false},
        {SessionPhase::Playing, true, true, false},   {SessionPhase::Saving, true, true, false},
        {SessionPhase::Importing, true, true, false}, {SessionPhase::Preparing, true, true, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(controlStates(row.phase, row.hasTake, row.hasMarkers).saveTracks, row.saveTracks)
            << int(row.phase) << " " << row.hasTake << " " << row.hasMarkers;
}

}
}
