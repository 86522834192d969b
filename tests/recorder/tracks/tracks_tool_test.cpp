// wavelark-tracks as a process: table rows of arguments against the exit status and the output,
// on a generated side written as a WAV file and as a raw take, and on files it must refuse.

#include "take/pcm_wav.h"

#include "support/temporary_folder.h"
#include "track_corpus.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

namespace wavelark {
namespace {

struct ToolResult {
    int status = -1;
    std::string output;
    std::string errors;
};

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char character : text)
        result += character == '\'' ? std::string("'\\''") : std::string(1, character);
    return result + "'";
}

class TracksTool : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new testing::TemporaryFolder;
        corpus::SideRecipe recipe;
        recipe.seed = 21;
        recipe.songs = 4;
        recipe.shortestSongSeconds = 25;
        recipe.longestSongSeconds = 40;
        recipe.leadInSeconds = 1.2;
        recipe.runOutSeconds = 4;
        s_plan = new corpus::SidePlan(corpus::planSide(recipe));
        ASSERT_TRUE(corpus::writeSide(*s_plan, s_folder->file("side.wav"), true));
        ASSERT_TRUE(corpus::writeSide(*s_plan, s_folder->file("side.raw"), false));
        // A WAV file of another format: 22050 Hz mono.
        const std::string mono = std::string("RIFF") + std::string("\x2c\x10\0\0", 4) + "WAVEfmt " + std::string("\x10\0\0\0\1\0\1\0", 8)
                                 + std::string("\x22\x56\0\0\x44\xac\0\0\2\0\x10\0", 12) + "data" + std::string("\0\x10\0\0", 4)
                                 + std::string(4096, '\0');
        testing::writeFile(s_folder->file("mono.wav"), mono);
        testing::writeFile(s_folder->file("empty.raw"), "");
        testing::writeFile(s_folder->file("broken.wav"), "RIFF\x10\0\0\0WAVEjunk, not a format chunk at all");
    }
    static void TearDownTestSuite()
    {
        delete s_plan;
        delete s_folder;
    }

    // Runs the tool with arguments (file names are in the test folder) and a deadline.
    static ToolResult run(const std::vector<std::string>& arguments)
    {
        std::string command = "cd " + quoted(s_folder->path().string()) + " && timeout 60 " + quoted(WAVELARK_TRACKS_TOOL);
        for (const std::string& argument : arguments)
            command += " " + quoted(argument);
        command += " >" + quoted(s_folder->file("out.txt")) + " 2>" + quoted(s_folder->file("errors.txt"));
        const int status = std::system(command.c_str());
        ToolResult result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.output = testing::readFile(s_folder->file("out.txt"));
        result.errors = testing::readFile(s_folder->file("errors.txt"));
        return result;
    }

    static testing::TemporaryFolder* s_folder;
    static corpus::SidePlan* s_plan;
};

testing::TemporaryFolder* TracksTool::s_folder = nullptr;
corpus::SidePlan* TracksTool::s_plan = nullptr;

std::string sleeve(const std::vector<double>& seconds)
{
    std::string text;
    for (double length : seconds) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "%s%d:%02d", text.empty() ? "" : ",", int(length) / 60, int(length) % 60);
        text += entry;
    }
    return text;
}

TEST_F(TracksTool, ProposalsPrintOneTrackALineWithTheBreaksInTheGaps)
{
    const std::vector<std::vector<std::string>> rows = {
        {"side.wav"},
        {"side.raw"},
        {"side.wav", "--songs", "4"},
        {"--songs=4", "side.raw"},
        {"side.wav", "--lengths", sleeve(s_plan->sleeveSeconds)},
    };
    const std::regex line(R"((\d+) (\d+\.\d{3}) (\d+\.\d{3}))");
    std::string first;
    for (const std::vector<std::string>& arguments : rows) {
        const ToolResult result = run(arguments);
        ASSERT_EQ(result.status, 0) << arguments[0] << " " << result.errors;
        EXPECT_EQ(result.errors, "");
        std::istringstream lines(result.output);
        std::string text;
        std::vector<double> ends;
        while (std::getline(lines, text)) {
            std::smatch match;
            ASSERT_TRUE(std::regex_match(text, match, line)) << text;
            EXPECT_EQ(std::stoul(match[1]), ends.size() + 1);
            ends.push_back(std::stod(match[3]));
        }
        ASSERT_EQ(ends.size(), s_plan->gaps.size() + 1) << result.output;
        for (std::size_t index = 0; index < s_plan->gaps.size(); ++index) {
            EXPECT_GE(ends[index] + 0.5, double(s_plan->gaps[index].startFrame) / 44100.0) << result.output;
            EXPECT_LE(ends[index] - 0.5, double(s_plan->gaps[index].endFrame) / 44100.0) << result.output;
        }
        // The WAV file and the raw take hold the same audio: the same tracks.
        if (first.empty())
            first = result.output;
        else
            EXPECT_EQ(result.output, first) << arguments[0];
    }
}

struct RefusalRow {
    std::vector<std::string> arguments;
    int status;
    const char* said; // in the one line on standard error
};

TEST_F(TracksTool, BadInputGetsOneLineOnStandardErrorAndAFailingStatus)
{
    const std::vector<RefusalRow> rows = {
        {{}, 2, "usage"},
        {{"side.wav", "side.raw"}, 2, "one file"},
        {{"side.wav", "--frobnicate"}, 2, "unknown option --frobnicate"},
        {{"side.wav", "--songs"}, 2, "needs a value"},
        {{"side.wav", "--songs", "0"}, 2, "--songs"},
        {{"side.wav", "--songs", "-2"}, 2, "--songs"},
        {{"side.wav", "--songs", "three"}, 2, "--songs"},
        {{"side.wav", "--songs", "3x"}, 2, "--songs"},
        {{"side.wav", "--songs", "1000"}, 2, "--songs"},
        {{"side.wav", "--lengths", "3:1x,4:00"}, 2, "song length 1"},
        {{"side.wav", "--lengths", "3:10,,4:00"}, 2, "song length 2"},
        {{"side.wav", "--songs", "4", "--lengths", "3:10,4:00"}, 2, "not both"},
        {{"missing.wav"}, 1, "No such file"},
        {{"mono.wav"}, 1, "not 44100 Hz 16-bit stereo"},
        {{"broken.wav"}, 1, "broken.wav"},
        {{"empty.raw"}, 1, "holds no audio"},
        {{"."}, 1, "."},
    };
    for (const RefusalRow& row : rows) {
        const ToolResult result = run(row.arguments);
        const std::string shown = row.arguments.empty() ? "(none)" : row.arguments.back();
        EXPECT_EQ(result.status, row.status) << shown << ": " << result.errors;
        EXPECT_EQ(result.output, "") << shown;
        EXPECT_NE(result.errors.find(row.said), std::string::npos) << shown << ": " << result.errors;
        EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << shown << ": " << result.errors;
    }
}

TEST_F(TracksTool, AWavFileOpenedForReadingOnlyCannotBeWrittenThrough)
{
    std::string error;
    const std::optional<PcmWav> wav = openPcmWav(s_folder->file("side.wav"), &error, PcmAccess::ReadOnly);
    ASSERT_TRUE(wav) << error;
    EXPECT_EQ(wav->region.dataOffset(), 44u);
    EXPECT_EQ(wav->region.dataSize(), s_plan->frames * 4);
    const uint8_t byte = 0;
    EXPECT_EQ(::pwrite(wav->region.descriptor(), &byte, 1, 44), -1);
}

}
}
