// WAV2MP3: a 16-bit stereo WAV file (44-byte header, skipped) to a constant-bit-rate MP3 file
// through the bound libmp3lame.
#pragma once

namespace sorvak {

// Results of WAV2MP3. 0 also stands for "no encoder library bound", in which case no file is
// touched. On every failure no destination file is left behind (an existing destination is
// kept when the source cannot be read or the encoder refuses the settings).
enum Mp3Result : int {
    kMp3Success = 0,
    kMp3SourceUnreadable = 1,    // source missing, unreadable, or a read failed part way
    kMp3EncoderFailed = 2,       // the encoder refused the settings or failed while encoding
    kMp3DestinationUnwritable = 3, // the destination cannot be created or written
};

}
