// The binding of libmp3lame, tested from the toolkit's objects: a missing library or entry point
// is named, and WAV2MP3 without a bound library returns 0 and writes nothing.

#include "mp3/lame_binding.h"
#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace wavelark::testing;

namespace {

class LameBinding : public ::testing::Test {
protected:
    // Every test leaves the toolkit as it loads: with the real library bound.
    void TearDown() override { EXPECT_TRUE(sorvak::bindLameLibrary(sorvak::kLameLibraryName)) << sorvak::lameBindingError(); }
};

}

TEST_F(LameBinding, LibraryIsBoundWhenTheToolkitLoads)
{
    const sorvak::LameFunctions* functions = sorvak::lameFunctions();
    ASSERT_NE(functions, nullptr) << sorvak::lameBindingError();
    EXPECT_NE(functions->init, nullptr);
    EXPECT_NE(functions->getInfoTagFrame, nullptr);
    EXPECT_STREQ(sorvak::lameBindingError(), "");
}

TEST_F(LameBinding, WithoutTheLibraryWav2Mp3ReturnsZeroAndWritesNothing)
{
    TemporaryFolder folder;
    std::string source = folder.file("take.wav");
    std::string destination = folder.file("take.mp3");
    writeFile(source, sineWav(44100, 2, 0.2, 1000.0, 0.5));

    sorvak::releaseLameLibrary();
    EXPECT_EQ(sorvak::lameFunctions(), nullptr);
    EXPECT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(destination));
}

TEST_F(LameBinding, LibraryThatCannotBeLoadedIsNamed)
{
    EXPECT_FALSE(sorvak::bindLameLibrary("/nonexistent/libmp3lame.so.0"));
    EXPECT_EQ(sorvak::lameFunctions(), nullptr);
    EXPECT_NE(std::string(sorvak::lameBindingError()).find("/nonexistent/libmp3lame.so.0"), std::string::npos)
        << sorvak::lameBindingError();
}

TEST_F(LameBinding, LibraryWithoutTheEntryPointsIsRefusedNamingTheMissingOne)
{
    EXPECT_FALSE(sorvak::bindLameLibrary("libm.so.6"));
    EXPECT_EQ(sorvak::lameFunctions(), nullptr);
    EXPECT_NE(std::string(sorvak::lameBindingError()).find("lame_init"), std::string::npos) << sorvak::lameBindingError();
}
