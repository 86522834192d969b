// The Debian package as built by the `package` target: its files and modes, lintian without
// errors, a valid desktop entry and AppStream file, the computed dependencies, and its recorder
// unpacked into a temporary root, run headless, finding its toolkit and keeping its data in
// $XDG_DATA_HOME/wavelark/.

#include "recorder_test_support.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <cstring>
#include <filesystem>
#include <string>

#include <signal.h>

namespace wavelark {
namespace {

namespace fs = std::filesystem;

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and error, in order
};

CommandResult runCommand(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    CommandResult result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        result.output = "did not finish";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAll().toStdString();
    return result;
}

const QString kPackage = QStringLiteral(WAVELARK_DEB);

class Package : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureApplication();
        ASSERT_TRUE(fs::exists(WAVELARK_DEB)) << "the package target did not write " << WAVELARK_DEB;
    }
    // The package unpacked into a temporary root.
    fs::path unpack()
    {
        const fs::path root = m_folder.path() / "root";
        const CommandResult extract = runCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), kPackage, QString::fromStdString(root.string())});
        EXPECT_EQ(extract.exitCode, 0) << extract.output;
        return root;
    }
    testing::TemporaryFolder m_folder;
};

TEST_F(Package, HoldsTheRecorderItsToolkitAndTheDesktopFilesWithTheirModes)
{
    const CommandResult listing = runCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), kPackage});
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    const struct {
        const char* mode;
        const char* path;
    } expected[] = {
        {"-rwxr-xr-x", "./usr/bin/wavelark"},
        {"-rwxr-xr-x", "./usr/bin/wavelark-tracks"},
        {"-rw-r--r--", "./usr/lib/wavelark/libsorvak.so"},
        {"-rw-r--r--", "./usr/share/applications/org.wavelark.Wavelark.desktop"},
        {"-rw-r--r--", "./usr/share/metainfo/org.wavelark.Wavelark.metainfo.xml"},
        {"-rw-r--r--", "./usr/share/icons/hicolor/16x16/apps/wavelark.png"},
        {"-rw-r--r--", "./usr/share/icons/hicolor/32x32/apps/wavelark.png"},
        {"-rw-r--r--", "./usr/share/icons/hicolor/64x64/apps/wavelark.png"},
        {"-rw-r--r--", "./usr/share/icons/hicolor/128x128/apps/wavelark.png"},
        {"-rw-r--r--", "./usr/share/icons/hicolor/256x256/apps/wavelark.png"},
        {"-rw-r--r--", "./usr/share/icons/hicolor/scalable/apps/wavelark.svg"},
        {"-rw-r--r--", "./usr/share/man/man1/wavelark.1.gz"},
        {"-rw-r--r--", "./usr/share/man/man1/wavelark-tracks.1.gz"},
        {"-rw-r--r--", "./usr/share/doc/wavelark/wavelark-guide.html"},
        {"-rw-r--r--", "./usr/share/doc/wavelark/copyright"},
        {"-rw-r--r--", "./usr/share/doc/wavelark/changelog.gz"},
    };
    for (const auto& file : expected) {
        bool found = false;
        std::size_t start = 0;
        while (!found && start < listing.output.size()) {
            const std::size_t end = listing.output.find('\n', start);
            const std::string line = listing.output.substr(start, end - start);
            found = line.rfind(file.mode, 0) == 0 && line.size() >= std::strlen(file.path)
                    && line.compare(line.size() - std::strlen(file.path), std::string::npos, file.path) == 0;
            start = end == std::string::npos ? listing.output.size() : end + 1;
        }
        EXPECT_TRUE(found) << file.mode << " " << file.path << " is not in\n" << listing.output;
    }
}

TEST_F(Package, LintianReportsNoErrors)
{
    const CommandResult lintian = runCommand(QStringLiteral("lintian"), {QStringLiteral("--allow-root"), kPackage});
    EXPECT_EQ(lintian.output.find("E: "), std::string::npos) << lintian.output;
    EXPECT_EQ(lintian.exitCode, 0) << lintian.output;
}

TEST_F(Package, DesktopEntryAndAppStreamFileAreValid)
{
    const fs::path root = unpack();
    const CommandResult desktop = runCommand(QStringLiteral("desktop-file-validate"),
                            {QString::fromStdString((root / "usr/share/applications/org.wavelark.Wavelark.desktop").string())});
    EXPECT_EQ(desktop.exitCode, 0) << desktop.output;
    EXPECT_EQ(desktop.output, "");
    const CommandResult appstream = runCommand(QStringLiteral("appstreamcli"),
                              {QStringLiteral("validate"), QStringLiteral("--no-net"),
                               QString::fromStdString((root / "usr/share/metainfo/org.wavelark.Wavelark.metainfo.xml").string())});
    EXPECT_EQ(appstream.exitCode, 0) << appstream.output;
}

TEST_F(Package, DependsAreComputedFromTheLibrariesAndNameTheEncoder)
{
    const CommandResult info = runCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-I"), kPackage});
    ASSERT_EQ(info.exitCode, 0) << info.output;
    const std::size_t depends = info.output.find("\n Depends: ");
    ASSERT_NE(depends, std::string::npos) << info.output;
    const std::string line = info.output.substr(depends, info.output.find('\n', depends + 1) - depends);
    // dpkg-shlibdeps' versioned entries for the linked libraries, and the library loaded by name.
    for (const char* package : {"libc6 (>= ", "libqt6widgets6", "libavcodec59", "libportaudio2", "libmp3lame0"})
        EXPECT_NE(line.find(package), std::string::npos) << package << " is not in" << line;
    EXPECT_NE(info.output.find("\n Recommends: pavucontrol, pulseaudio | pipewire-pulse"), std::string::npos) << info.output;
}

// Unpacked anywhere, the recorder finds its toolkit through its run path; its own folder (here
// writable, as /usr/bin is for root) is not taken for the data folder.
TEST_F(Package, UnpackedRecorderRunsHeadlessFindsItsToolkitAndKeepsItsDataInTheUsersFolder)
{
    const fs::path root = unpack();
    const fs::path data = m_folder.path() / "data";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("WAVELARK_HOME"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(data.string()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("WAVELARK_AUDIO"), QStringLiteral("test"));
    QProcess recorder;
    recorder.setProcessEnvironment(environment);
    recorder.setProcessChannelMode(QProcess::MergedChannels);
    recorder.start(QString::fromStdString((root / "usr/bin/wavelark").string()), {});
    ASSERT_TRUE(recorder.waitForStarted(10000));
    const bool settingsWritten = QTest::qWaitFor([&] { return fs::exists(data / "wavelark" / "settings.dat"); }, 20000);
    const std::string maps = testing::readFile("/proc/" + std::to_string(recorder.processId()) + "/maps");
    ::kill(static_cast<pid_t>(recorder.processId()), SIGKILL);
    recorder.waitForFinished(10000);
    EXPECT_TRUE(settingsWritten) << recorder.readAll().toStdString();
    EXPECT_NE(maps.find((root / "usr/lib/wavelark/libsorvak.so").string()), std::string::npos) << maps;
    EXPECT_FALSE(fs::exists(root / "usr/bin/settings.dat"));
}

}
}
