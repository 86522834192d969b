#include "take/take_import.h"

#include "core/file_toolbox.h"
#include "core/take_format.h"
#include "take/import_examination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace wavelark {

namespace {

// The WAV header the copy and the decoder leave at the start; zeroed, it is 11 silent frames.
constexpr std::size_t kHeaderBytes = 44;
constexpr char kKept[] = " The current recording was kept.";

std::string systemReason()
{
    return std::strerror(errno);
}

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

ImportResult refused(ImportFailure kind, const std::string& message, const std::string& sidePath)
{
    ::unlink(sidePath.c_str());
    return ImportResult{kind, message + kKept, 0};
}

}

bool importsAsWav(const std::string& sourcePath)
{
    if (sourcePath.size() < 3)
        return false;
    std::string last = sourcePath.substr(sourcePath.size() - 3);
    std::transform(last.begin(), last.end(), last.begin(), [](unsigned char c) { return std::toupper(c); });
    return last == "WAV";
}

std::string importSidePath(const std::string& takePath)
{
    return takePath + ".import";
}

ImportResult importIntoTake(const std::string& sourcePath, const std::string& takePath,
                            const BlockProgress& copyProgress, SorvakProgressFunction decodeProgress,
                            const std::function<std::string()>& beforeReplace)
{
    const std::string sidePath = importSidePath(takePath);
    const std::string name = quoted(sourcePath);
    const ImportExamination examination = examineImport(sourcePath);
    if (examination.way == ImportWay::Refused)
        return refused(examination.refusal == ImportRefusal::NotRegularFile ? ImportFailure::NotRegularFile
                                                                            : ImportFailure::NotAudio,
                       examination.message, sidePath);
    ::unlink(sidePath.c_str());

    if (examination.way == ImportWay::Copy) {
        FileDescriptor source(::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        struct stat status {};
        if (!source.isOpen() || ::fstat(source.get(), &status) != 0 || !S_ISREG(status.st_mode))
            return refused(ImportFailure::Unreadable, "The file " + name + " could not be opened: " + systemReason() + ".",
                           sidePath);
        FileDescriptor side(::open(sidePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!side.isOpen())
            return refused(ImportFailure::SideFile,
                           "The file " + quoted(sidePath) + " could not be created: " + systemReason() + ".", sidePath);
        const CopyOutcome copy = copyBytes(source.get(), 0, side.get(), 0, static_cast<uint64_t>(status.st_size), copyProgress);
        if (copy.status == CopyStatus::ReadFailed)
            return refused(ImportFailure::Unreadable, "The file " + name + " could not be read: " + copy.reason + ".", sidePath);
        if (copy.status == CopyStatus::SourceEnded)
            return refused(ImportFailure::Unreadable, "The file " + name + " became shorter while it was read.", sidePath);
        if (copy.status == CopyStatus::WriteFailed)
            return refused(ImportFailure::SideFile,
                           "The file " + quoted(sidePath) + " could not be written: " + copy.reason + ".", sidePath);
        if (!side.close())
            return refused(ImportFailure::SideFile,
                           "The file " + quoted(sidePath) + " could not be written: " + systemReason() + ".", sidePath);
    } else if (!convertForImport(sourcePath, sidePath, decodeProgress)) {
        return refused(ImportFailure::Unreadable,
                       "The file " + name + " could not be converted: its audio is damaged, or the data folder has no room left.",
                       sidePath);
    }

    struct stat sideStatus {};
    if (::stat(sidePath.c_str(), &sideStatus) != 0 || static_cast<std::size_t>(sideStatus.st_size) <= kHeaderBytes)
        return refused(ImportFailure::Unreadable, "The file " + name + " holds no audio.", sidePath);
    // A file that stated no length, or a wrong one, is measured here.
    if (static_cast<uint64_t>(sideStatus.st_size) > kLargestTake)
        return refused(ImportFailure::NotAudio,
                       tooLongText(name, static_cast<double>(sideStatus.st_size) / (kTakeSampleRate * kTakeFrameBytes)),
                       sidePath);
    FileDescriptor side(::open(sidePath.c_str(), O_WRONLY | O_CLOEXEC));
    const uint8_t zeros[kHeaderBytes] = {};
    ssize_t written = -1;
    if (side.isOpen()) {
        do
            written = ::pwrite(side.get(), zeros, kHeaderBytes, 0);
        while (written < 0 && errno == EINTR);
    }
    if (written != static_cast<ssize_t>(kHeaderBytes) || !side.close())
        return refused(ImportFailure::SideFile,
                       "The file " + quoted(sidePath) + " could not be written: " + systemReason() + ".", sidePath);
    if (beforeReplace)
        if (const std::string problem = beforeReplace(); !problem.empty())
            return refused(ImportFailure::Commit, "The imported audio was not put in place of the recording: " + problem,
                           sidePath);
    // A folder entry that could not be forced to the disk still holds the new take in place; were
    // it lost in a power loss, the side file would be back and the start-up would keep the old take.
    if (const std::optional<FileFailure> failure = moveIntoPlace(sidePath, takePath);
        failure && failure->step != FileFailure::Step::SyncingFolder)
        return refused(ImportFailure::Commit,
                       "The imported audio could not replace the recording " + quoted(takePath) + ": " + failure->reason()
                           + ".",
                       sidePath);
    return ImportResult{ImportFailure::None, {}, static_cast<uint64_t>(sideStatus.st_size)};
}

}
