// The track markers: their edits keep them in order and within the take; the file beside the take
// reads back what was written, and refuses whole a file cut short, changed, foreign or another
// take's.

#include "file_size_limit.h"

#include "support/temporary_folder.h"
#include "tracks/marker_file.h"

#include <gtest/gtest.h>

#include <QString>

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace wavelark {
namespace {

using testing::TemporaryFolder;

constexpr char kTakeId[] = "0123456789abcdef0123456789abcdef";
constexpr char kOtherTakeId[] = "fedcba9876543210fedcba9876543210";

std::vector<uint64_t> framesOf(const TrackMarkers& markers)
{
    std::vector<uint64_t> frames;
    for (const TrackMarker& marker : markers.markers())
        frames.push_back(marker.frame);
    return frames;
}

QString pathIn(const TemporaryFolder& folder)
{
    return QString::fromStdString(folder.file("recording.markers"));
}

// --- Edits -----------------------------------------------------------------------------------

struct Edit {
    enum Kind { Add, Move, Remove, SetEnd, SetTitle } kind;
    uint64_t value;      // the frame, or for Remove and SetTitle the index
    std::size_t index;   // Move's marker
    bool changes;
};

struct EditCase {
    const char* name;
    uint64_t takeBytes;
    std::vector<Edit> edits;
    std::vector<uint64_t> frames;
    uint64_t end;
};

class MarkerEdits : public ::testing::TestWithParam<EditCase> {};

TEST_P(MarkerEdits, KeepTheMarkersInOrderWithinTheTakeAndSayWhetherTheyChangedThem)
{
    const EditCase& row = GetParam();
    TrackMarkers markers(row.takeBytes);
    for (std::size_t step = 0; step < row.edits.size(); ++step) {
        const Edit& edit = row.edits[step];
        bool changed = false;
        switch (edit.kind) {
        case Edit::Add: changed = markers.add(edit.value, "title"); break;
        case Edit::Move: changed = markers.move(edit.index, edit.value); break;
        case Edit::Remove: changed = markers.remove(edit.value); break;
        case Edit::SetEnd: changed = markers.setEnd(edit.value); break;
        case Edit::SetTitle: changed = markers.setTitle(edit.value, "new"); break;
        }
        EXPECT_EQ(changed, edit.changes) << "edit " << step;
    }
    EXPECT_EQ(framesOf(markers), row.frames);
    EXPECT_EQ(markers.end(), row.end);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MarkerEdits,
    ::testing::Values(
        EditCase{"AddedOutOfOrderEndSorted", 4000,
                 {{Edit::Add, 300, 0, true}, {Edit::Add, 100, 0, true}, {Edit::Add, 200, 0, true}},
                 {100, 200, 300}, 1000},
        EditCase{"AddAtAMarkerOrFromTheEndChangesNothing", 4000,
                 {{Edit::Add, 0, 0, true}, {Edit::Add, 0, 0, false}, {Edit::Add, 999, 0, true},
                  {Edit::Add, 1000, 0, false}, {Edit::Add, 5000, 0, false}},
                 {0, 999}, 1000},
        EditCase{"APartFrameAtTheTakesEndIsNoFrame", 4003, {{Edit::Add, 1000, 0, false}, {Edit::Add, 999, 0, true}},
                 {999}, 1000},
        EditCase{"MovePastTheNextMarkerStopsJustBeforeIt", 4000,
                 {{Edit::Add, 100, 0, true}, {Edit::Add, 200, 0, true}, {Edit::Add, 300, 0, true},
                  {Edit::Move, 250, 0, true}, {Edit::Move, 50, 2, true}},
                 {199, 200, 201}, 1000},
        EditCase{"MoveOfTheLastMarkerStopsBeforeTheEnd", 4000,
                 {{Edit::Add, 100, 0, true}, {Edit::Move, 5000, 0, true}, {Edit::Move, 999, 0, false}}, {999}, 1000},
        EditCase{"MoveOfTheFirstMarkerStopsAtTheTakesStart", 4000,
                 {{Edit::Add, 100, 0, true}, {Edit::Add, 200, 0, true}, {Edit::Move, 0, 0, true}}, {0, 200}, 1000},
        EditCase{"MoveToWhereItIsOrOfNoMarkerChangesNothing", 4000,
                 {{Edit::Add, 100, 0, true}, {Edit::Move, 100, 0, false}, {Edit::Move, 300, 1, false}}, {100}, 1000},
        EditCase{"MoveBetweenNeighboursOneFrameApartCannotMove", 4000,
                 {{Edit::Add, 100, 0, true}, {Edit::Add, 101, 0, true}, {Edit::Add, 102, 0, true},
                  {Edit::Move, 0, 1, false}, {Edit::Move, 900, 1, false}},
                 {100, 101, 102}, 1000},
        EditCase{"RemoveTakesOneMarkerOutAndNoneOutOfRange", 4000,
                 {{Edit::Add, 100, 0, true}, {Edit::Add, 200, 0, true}, {Edit::Remove, 0, 0, true},
                  {Edit::Remove, 1, 0, false}},
                 {200}, 1000},
        EditCase{"EndHeldAfterTheLastMarkerAndWithinTheTake", 4000,
                 {{Edit::Add, 500, 0, true}, {Edit::SetEnd, 100, 0, true}, {Edit::SetEnd, 501, 0, false},
                  {Edit::SetEnd, 9000, 0, true}, {Edit::SetEnd, 800, 0, true}},
                 {500}, 800},
        EditCase{"NoMarkerAddedOrMovedFromAnEarlierEndOn", 4000,
                 {{Edit::SetEnd, 600, 0, true}, {Edit::Add, 600, 0, false}, {Edit::Add, 599, 0, true},
                  {Edit::Add, 100, 0, true}, {Edit::Move, 700, 0, true}},
                 {598, 599}, 600},
        EditCase{"TitleChangesOnlyWhenItDiffers", 4000,
                 {{Edit::Add, 10, 0, true}, {Edit::SetTitle, 0, 0, true}, {Edit::SetTitle, 0, 0, false},
                  {Edit::SetTitle, 1, 0, false}},
                 {10}, 1000},
        EditCase{"AnEmptyTakeTakesNoMarker", 0, {{Edit::Add, 0, 0, false}, {Edit::SetEnd, 10, 0, false}}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrackMarkers, TheTrackAtAFrameIsTheLastMarkerAtOrBeforeItAndEndsAtTheNext)
{
    TrackMarkers markers(4000);
    ASSERT_TRUE(markers.add(100));
    ASSERT_TRUE(markers.add(500));
    ASSERT_TRUE(markers.setEnd(900));
    const std::vector<std::pair<uint64_t, std::optional<std::size_t>>> expected = {
        {0, std::nullopt}, {99, std::nullopt}, {100, 0}, {499, 0}, {500, 1}, {899, 1}, {900, std::nullopt},
        {5000, std::nullopt}};
    for (const auto& [frame, track] : expected)
        EXPECT_EQ(markers.trackAt(frame), track) << "frame " << frame;
    EXPECT_EQ(markers.trackEnd(0), 500u);
    EXPECT_EQ(markers.trackEnd(1), 900u);
    EXPECT_EQ(markers.trackEnd(2), 0u);
}

// --- The file --------------------------------------------------------------------------------

TrackMarkers sideOfThree()
{
    TrackMarkers markers(4 * 52'920'000);  // five minutes
    markers.add(44'100, "Opening");
    markers.add(4'410'000, "Tab\there, line\nbreak, back\\slash \\n, \r and \xe2\x80\x9cUTF-8\xe2\x80\x9d \xc3\xa5");
    markers.add(8'820'000, "");
    markers.setEnd(13'000'000);
    return markers;
}

struct RoundTripCase {
    const char* name;
    TrackMarkers markers;
    const char* takeId;
};

class MarkerFileRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(MarkerFileRoundTrip, ReadsBackWhatWasWrittenAndLeavesOnlyTheFile)
{
    const RoundTripCase& row = GetParam();
    TemporaryFolder folder;
    const std::optional<FileFailure> failure = writeMarkers(pathIn(folder), row.markers, row.takeId);
    ASSERT_FALSE(failure.has_value()) << failure->reason();
    const auto read = readMarkers(pathIn(folder), row.takeId, row.markers.takeBytes());
    const TrackMarkers* markers = std::get_if<TrackMarkers>(&read);
    ASSERT_NE(markers, nullptr) << std::get<MarkerFileProblem>(read).reason;
    EXPECT_EQ(*markers, row.markers);
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"recording.markers"});
}

TrackMarkers withTitle(std::string title)
{
    TrackMarkers markers(400);
    markers.add(0, std::move(title));
    return markers;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MarkerFileRoundTrip,
    ::testing::Values(RoundTripCase{"TitlesWithTabsLineBreaksAndUtf8", sideOfThree(), kTakeId},
                      RoundTripCase{"NoMarkers", TrackMarkers(4000), kTakeId},
                      RoundTripCase{"EmptyTake", TrackMarkers(0), kTakeId},
                      RoundTripCase{"TakeFromBeforeIds", sideOfThree(), ""},
                      RoundTripCase{"TitleOfEscapesOnly", withTitle("\\\\t\\"), kTakeId},
                      RoundTripCase{"TitleWithNul", withTitle(std::string("a\0b", 3)), kTakeId},
                      RoundTripCase{"TitleOfADash", withTitle("-"), kTakeId}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkerFile, IsKeptInTheDataFolder)
{
    EXPECT_EQ(markersPathFor(DataPaths{QStringLiteral("/data/")}), QStringLiteral("/data/recording.markers"));
}

// The reading below refuses every one of these as damaged: the file's check line catches
// what a cut at a line's end or a changed digit would let through as another sound file.
TEST(MarkerFile, CutAnywhereIsRefusedAsDamaged)
{
    TemporaryFolder folder;
    const TrackMarkers markers = sideOfThree();
    ASSERT_FALSE(writeMarkers(pathIn(folder), markers, kTakeId).has_value());
    const std::string whole = testing::readFile(folder.file("recording.markers"));
    for (std::size_t length = 0; length < whole.size(); ++length) {
        testing::writeFile(folder.file("recording.markers"), whole.substr(0, length));
        const auto read = readMarkers(pathIn(folder), kTakeId, markers.takeBytes());
        const MarkerFileProblem* problem = std::get_if<MarkerFileProblem>(&read);
        ASSERT_NE(problem, nullptr) << "cut at " << length;
        EXPECT_EQ(problem->kind, MarkerFileProblem::Kind::Damaged) << "cut at " << length;
    }
}

TEST(MarkerFile, AnyBitFlippedIsRefusedAsDamaged)
{
    TemporaryFolder folder;
    const TrackMarkers markers = sideOfThree();
    ASSERT_FALSE(writeMarkers(pathIn(folder), markers, kTakeId).has_value());
    const std::string whole = testing::readFile(folder.file("recording.markers"));
    for (std::size_t index = 0; index < whole.size(); ++index) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string flipped = whole;
            flipped[index] = static_cast<char>(flipped[index] ^ (1 << bit));
            testing::writeFile(folder.file("recording.markers"), flipped);
            const auto read = readMarkers(pathIn(folder), kTakeId, markers.takeBytes());
            const MarkerFileProblem* problem = std::get_if<MarkerFileProblem>(&read);
            ASSERT_NE(problem, nullptr) << "byte " << index << " bit " << bit;
            ASSERT_EQ(problem->kind, MarkerFileProblem::Kind::Damaged) << "byte " << index << " bit " << bit;
        }
    }
}

// CRC-32 (the reflected 0xEDB88320 polynomial), table-driven, to build files the writer would
// not write with a check line that matches.
uint32_t referenceCrc32(const std::string& bytes)
{
    std::array<uint32_t, 256> table{};
    for (uint32_t value = 0; value < 256; ++value) {
        uint32_t entry = value;
        for (int bit = 0; bit < 8; ++bit)
            entry = entry & 1 ? 0xedb88320u ^ (entry >> 1) : entry >> 1;
        table[value] = entry;
    }
    uint32_t crc = 0xffffffffu;
    for (const char byte : bytes)
        crc = table[(crc ^ static_cast<uint8_t>(byte)) & 0xff] ^ (crc >> 8);
    return ~crc;
}

std::string withCheckLine(const std::string& body)
{
    char line[24];
    std::snprintf(line, sizeof line, "check %08x\n", referenceCrc32(body));
    return body + line;
}

TEST(MarkerFile, ReferenceChecksumIsTheStandardCrc32)
{
    EXPECT_EQ(referenceCrc32("123456789"), 0xcbf43926u);
}

TEST(MarkerFile, AFileBuiltByHandWithItsCheckLineIsRead)
{
    TemporaryFolder folder;
    testing::writeFile(folder.file("recording.markers"),
                       withCheckLine(std::string("wavelark track markers 1\ntake ") + kTakeId +
                                     "\nbytes 4000\nend 900\ncount 2\n0\tA\\tB\n10\t\n"));
    const auto read = readMarkers(pathIn(folder), kTakeId, 4000);
    const TrackMarkers* markers = std::get_if<TrackMarkers>(&read);
    ASSERT_NE(markers, nullptr) << std::get<MarkerFileProblem>(read).reason;
    EXPECT_EQ(markers->markers(), (std::vector<TrackMarker>{{0, "A\tB"}, {10, ""}}));
    EXPECT_EQ(markers->end(), 900u);
}

struct ForeignCase {
    const char* name;
    const char* body;  // the file before its check line; "TAKE" stands for the take's id line
};

class ForeignMarkerFile : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignMarkerFile, WithAMatchingCheckLineIsStillRefusedAsDamaged)
{
    std::string body = GetParam().body;
    const std::size_t take = body.find("TAKE");
    if (take != std::string::npos)
        body.replace(take, 4, std::string("take ") + kTakeId);
    TemporaryFolder folder;
    testing::writeFile(folder.file("recording.markers"), withCheckLine(body));
    const auto read = readMarkers(pathIn(folder), kTakeId, 4000);
    const MarkerFileProblem* problem = std::get_if<MarkerFileProblem>(&read);
    ASSERT_NE(problem, nullptr);
    EXPECT_EQ(problem->kind, MarkerFileProblem::Kind::Damaged);
    EXPECT_FALSE(problem->reason.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForeignMarkerFile,
    ::testing::Values(
        ForeignCase{"AnotherVersion", "wavelark track markers 2\nTAKE\nbytes 4000\nend 1000\ncount 0\n"},
        ForeignCase{"NoHeading", "wavelark track markers 1\n"},
        ForeignCase{"HeadingOutOfOrder", "wavelark track markers 1\nbytes 4000\nTAKE\nend 1000\ncount 0\n"},
        ForeignCase{"CountTooHigh", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 2\n5\tA\n"},
        ForeignCase{"CountTooLow", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 0\n5\tA\n"},
        ForeignCase{"NumberWithALeadingZero", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 1\n05\tA\n"},
        ForeignCase{"NumberWithASign", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 1\n+5\tA\n"},
        ForeignCase{"NumberPast64Bits",
                    "wavelark track markers 1\nTAKE\nbytes 18446744073709551616\nend 1000\ncount 0\n"},
        ForeignCase{"MarkerWithoutATab", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 1\n5 A\n"},
        ForeignCase{"TitleWithARawTab", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 1\n5\tA\tB\n"},
        ForeignCase{"TitleWithAnUnknownEscape",
                    "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 1\n5\tA\\x\n"},
        ForeignCase{"TitleEndingInABackslash", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 1\n5\tA\\\n"},
        ForeignCase{"MarkersOutOfOrder",
                    "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 2\n9\tA\n5\tB\n"},
        ForeignCase{"TwoMarkersAtOneFrame",
                    "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 2\n5\tA\n5\tB\n"},
        ForeignCase{"MarkerAtTheEnd", "wavelark track markers 1\nTAKE\nbytes 4000\nend 500\ncount 1\n500\tA\n"},
        ForeignCase{"MarkerPastTheTake", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 1\n1000\tA\n"},
        ForeignCase{"EndPastTheTake", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1001\ncount 0\n"},
        ForeignCase{"EmptyLineAtTheEnd", "wavelark track markers 1\nTAKE\nbytes 4000\nend 1000\ncount 0\n\n"},
        ForeignCase{"NotAMarkerFile", "[settings]\nvolume=3\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkerFile, AFileLongerThanAnyMarkerFileIsRefusedAsDamaged)
{
    TemporaryFolder folder;
    testing::writeFile(folder.file("recording.markers"), std::string(2 << 20, 'x'));
    const auto read = readMarkers(pathIn(folder), kTakeId, 4000);
    ASSERT_TRUE(std::holds_alternative<MarkerFileProblem>(read));
    EXPECT_EQ(std::get<MarkerFileProblem>(read).kind, MarkerFileProblem::Kind::Damaged);
}

struct OtherTakeCase {
    const char* name;
    const char* writtenId;
    uint64_t writtenBytes;
    const char* readId;
    uint64_t readBytes;
};

class MarkerFileOfAnotherTake : public ::testing::TestWithParam<OtherTakeCase> {};

TEST_P(MarkerFileOfAnotherTake, IsReportedAsAnotherTakes)
{
    const OtherTakeCase& row = GetParam();
    TemporaryFolder folder;
    TrackMarkers markers(row.writtenBytes);
    ASSERT_TRUE(markers.add(7, "A"));
    ASSERT_FALSE(writeMarkers(pathIn(folder), markers, row.writtenId).has_value());
    const auto read = readMarkers(pathIn(folder), row.readId, row.readBytes);
    ASSERT_TRUE(std::holds_alternative<MarkerFileProblem>(read));
    EXPECT_EQ(std::get<MarkerFileProblem>(read).kind, MarkerFileProblem::Kind::OtherTake);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MarkerFileOfAnotherTake,
    ::testing::Values(OtherTakeCase{"AnotherId", kTakeId, 4000, kOtherTakeId, 4000},
                      OtherTakeCase{"AnotherLength", kTakeId, 4000, kTakeId, 4004},
                      OtherTakeCase{"APartFrameLonger", kTakeId, 4000, kTakeId, 4001},
                      OtherTakeCase{"ATakeWithAnIdNow", "", 4000, kTakeId, 4000},
                      OtherTakeCase{"ATakeWithoutAnIdNow", kTakeId, 4000, "", 4000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkerFile, MissingIsReportedAsMissing)
{
    TemporaryFolder folder;
    const auto read = readMarkers(pathIn(folder), kTakeId, 4000);
    ASSERT_TRUE(std::holds_alternative<MarkerFileProblem>(read));
    EXPECT_EQ(std::get<MarkerFileProblem>(read).kind, MarkerFileProblem::Kind::Missing);
}

TEST(MarkerFile, AWriteThatFailsLeavesTheOldFile)
{
    TemporaryFolder folder;
    TrackMarkers old(4000);
    ASSERT_TRUE(old.add(5, "Old"));
    ASSERT_FALSE(writeMarkers(pathIn(folder), old, kTakeId).has_value());
    const std::string oldBytes = testing::readFile(folder.file("recording.markers"));
    std::optional<FileFailure> failure;
    {
        testing::FileSizeLimit fullDisk(oldBytes.size() / 2);
        ASSERT_TRUE(fullDisk.active());
        failure = writeMarkers(pathIn(folder), sideOfThree(), kTakeId);
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->code, EFBIG);
    EXPECT_EQ(testing::readFile(folder.file("recording.markers")), oldBytes);
    const auto read = readMarkers(pathIn(folder), kTakeId, 4000);
    ASSERT_TRUE(std::holds_alternative<TrackMarkers>(read));
    EXPECT_EQ(std::get<TrackMarkers>(read), old);
    EXPECT_FALSE(std::filesystem::exists(folder.file("recording.markers.part")));
}

TEST(MarkerFile, ClearRemovesTheFileAndAMissingFileIsNoFailure)
{
    TemporaryFolder folder;
    ASSERT_FALSE(writeMarkers(pathIn(folder), sideOfThree(), kTakeId).has_value());
    EXPECT_TRUE(clearMarkers(pathIn(folder)));
    EXPECT_FALSE(std::filesystem::exists(folder.file("recording.markers")));
    EXPECT_TRUE(clearMarkers(pathIn(folder)));
}

}
}
