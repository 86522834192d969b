#include "take/archive_side_file.h"

#include "core/file_toolbox.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace wavelark {

SaveResult failedConversion(const std::string& destinationPath, const std::string& why)
{
    return failedSave(SaveFailure::Conversion, "The file " + quotedPath(destinationPath) + " could not be saved: " + why + ".");
}

SaveResult createSideFile(const std::string& sidePath, const std::string& destinationPath)
{
    // A side file left by an interrupted save goes first: the one written now is new.
    ::unlink(sidePath.c_str());
    FileDescriptor created(::open(sidePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!created.isOpen())
        return failedConversion(destinationPath, systemReason());
    created.close();
    return {};
}

SaveResult placeSideFile(SaveResult result, const std::string& sidePath, const std::string& destinationPath)
{
    if (result.ok())
        if (const std::optional<FileFailure> failure = moveIntoPlace(sidePath, destinationPath);
            failure && failure->step != FileFailure::Step::SyncingFolder)
            result = failedConversion(destinationPath, failure->reason());
    if (!result.ok())
        ::unlink(sidePath.c_str());
    return result;
}

std::string writeFailureReason(const std::string& sidePath, int writerReason)
{
    const std::string folder = sidePath.substr(0, sidePath.rfind('/') + 1);
    struct statvfs room {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &room) == 0 && room.f_bavail == 0)
        return std::strerror(ENOSPC);
    if (writerReason != 0)
        return std::strerror(writerReason);
    return "the converter stopped without a reason";
}

}
