#include "audiofiles/wav_probe.h"

#include "audiofiles/wav_format.h"

namespace sorvak {

const WavFormat* probeWavFormat(const char* path)
{
    // Process-wide, like the slot records: the result stays valid until the next probe.
    static WavFormat probeRecord {};
    probeRecord = WavFormat {};
    RiffReader reader;  // closed on return: the probe keeps no file open
    if (readWavFormat(path, reader, probeRecord))
        return nullptr;
    return &probeRecord;
}

}
