// The archive file's side file: every save writes beside its destination (sidePathOf in
// take/save_conversion.h) and the side file replaces the destination only once it has been read
// back, so an existing file of that name survives a failed save and no half-written file is ever
// found under the destination's name.
//
// Thread: the window thread (long operations).
// Errors: SaveResults whose messages name the destination and give the system's reason.
#pragma once

#include "take/save_result.h"

#include <string>

namespace wavelark {

// "The file "destination" could not be saved: why." as a failed conversion.
SaveResult failedConversion(const std::string& destinationPath, const std::string& why);

// Removes a side file left by an interrupted save, then creates sidePath anew and empty, so that
// a folder that cannot take it is reported with the system's reason before any encoding starts.
SaveResult createSideFile(const std::string& sidePath, const std::string& destinationPath);

// Finishes a save whose writer has written sidePath and whose check gave result: a good side file
// is renamed over the destination (a folder entry that could not be forced to the disk still
// holds the file in place, so that counts as done); a failed one, or one that cannot be renamed,
// is removed. Returns what the save answers.
SaveResult placeSideFile(SaveResult result, const std::string& sidePath, const std::string& destinationPath);

// Why a writer that could create its side file still failed to write it: a file system without
// room, else the reason its last call left (writerReason, an errno value, 0 when none), else
// what is known.
std::string writeFailureReason(const std::string& sidePath, int writerReason);

}
