#include "audiofiles/wav_probe.h"

#include "audiofiles/wav_format.h"

namespace sorvak {

const WavFormat* probeWavFormat(const char* path)
{
    // Process-wide, like the slot records: the result stays valid until the next probe.
    static WavFormat probeRecord {};
    probeRecord = WavFormat {};
    if (readWavFormat(path, probeRecord))
        return nullptr;
    return &probeRecord;
}

}
