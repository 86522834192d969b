#include "emulated_disc.h"

#include "cdaudio/cd_drives.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace wavelark::testing {

std::vector<int> RipProgress::values;
int RipProgress::cancelFromSector = 0;

EmulatedDisc::EmulatedDisc(const std::string& value)
{
    if (const char* previous = std::getenv("WAVELARK_CD"))
        m_previous = previous;
    setenv("WAVELARK_CD", value.c_str(), 1);
    sorvak::cd::forgetCdDrives();
}

EmulatedDisc::~EmulatedDisc()
{
    if (m_previous)
        setenv("WAVELARK_CD", m_previous->c_str(), 1);
    else
        unsetenv("WAVELARK_CD");
    sorvak::cd::forgetCdDrives();
}

void EmulatedDisc::change(const std::string& value)
{
    setenv("WAVELARK_CD", value.c_str(), 1);
}

std::string sectorAudio(uint32_t block)
{
    std::string bytes(kSectorBytes, '\0');
    for (uint32_t frame = 0; frame < kSectorBytes / 4; ++frame) {
        uint32_t left = block % 65536;
        uint32_t right = frame + 1024 * (block / 65536);
        bytes[frame * 4] = static_cast<char>(left % 256);
        bytes[frame * 4 + 1] = static_cast<char>(left / 256);
        bytes[frame * 4 + 2] = static_cast<char>(right % 256);
        bytes[frame * 4 + 3] = static_cast<char>(right / 256);
    }
    return bytes;
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

std::string temporaryPath(const std::string& name)
{
    const char* root = std::getenv("WAVELARK_TEST_ROOT");
    return std::string(root ? root : "/tmp") + "/" + name;
}

void RipProgress::reset(int cancelFrom)
{
    values.clear();
    cancelFromSector = cancelFrom;
}

int RipProgress::record(int percent)
{
    values.push_back(percent);
    // values[0] is the -1 of the start; sector n's call is values[n].
    int sector = static_cast<int>(values.size()) - 1;
    return cancelFromSector > 0 && sector >= cancelFromSector ? 1 : 0;
}

}
