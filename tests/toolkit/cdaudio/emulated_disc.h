// Helpers of the CD ripping tests: choosing the emulated drive's disc, the audio the drive
// holds in each sector, and reading back what a rip wrote.
#pragma once

#include "sorvak.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wavelark::testing {

inline constexpr uint32_t kSectorBytes = 2352;

// Sets WAVELARK_CD for the life of the object and makes the toolkit find its drives afresh; the
// earlier value comes back afterwards.
class EmulatedDisc {
public:
    explicit EmulatedDisc(const std::string& value);
    ~EmulatedDisc();
    EmulatedDisc(const EmulatedDisc&) = delete;
    EmulatedDisc& operator=(const EmulatedDisc&) = delete;

    // Puts another disc in (the variable changes, the drive table stays).
    void change(const std::string& value);

private:
    std::optional<std::string> m_previous;
};

// The 2352 bytes the emulated drive holds at a logical block with its sector audio: frame k
// carries the block's low 16 bits on the left and k + 1024 * (block >> 16) on the right.
std::string sectorAudio(uint32_t block);

// The whole content of a file ("" when missing).
std::string fileBytes(const std::string& path);
bool fileExists(const std::string& path);

// A fresh path in the test's temporary folder.
std::string temporaryPath(const std::string& name);

// Progress calls of a rip: every value given, and a call number from which to cancel.
struct RipProgress {
    static std::vector<int> values;
    static int cancelFromSector;  // 0: never; 1: at the first sector's call
    static void reset(int cancelFrom = 0);
    static int record(int percent);
};

}
