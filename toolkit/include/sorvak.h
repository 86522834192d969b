// The Wavelark audio toolkit (libsorvak.so): every export, with its C types.
//
// The toolkit is a plain C library. Text is UTF-8 and NUL-terminated. Text results point into
// buffers the toolkit owns (rotating buffers of ten per helper, or static areas) and are never
// freed by the caller. Audio blocks the toolkit hands out are allocated with malloc and released
// by the caller with free. Open files are addressed by caller-chosen slot numbers 0..9.
#ifndef SORVAK_H
#define SORVAK_H

#include <stdint.h>

#ifdef __cplusplus
#include <cstdint>
#define SORVAK_API extern "C" __attribute__((visibility("default")))
#else
#include <uchar.h>
#define SORVAK_API __attribute__((visibility("default")))
#endif

// ---------------------------------------------------------------------------------------------
// Shared callback types.

// Progress of a long conversion in whole percent; returns non-zero to cancel.
typedef int (*SorvakProgressFunction)(int percent);

// The tags of one song, written by the tagged conversions. Caller-owned and only read during the
// call. Text is UTF-8; a null or empty text leaves that tag out. trackNumber 0 leaves the track
// out; trackCount 0 means the count is unknown (only the number is written).
typedef struct SorvakTags {
    const char* title;
    const char* artist;
    const char* album;
    const char* year;
    int trackNumber;
    int trackCount;
} SorvakTags;

// ---------------------------------------------------------------------------------------------
// Text and number helpers. Each returns the next of its own ten rotating result buffers; the
// same helper overwrites a result on its tenth call after it. Safe to call from several threads:
// each thread rotates through ten buffers of its own, so only its own calls overwrite a result.

SORVAK_API char* strcatmany(const char* a, const char* b, const char* c, const char* d, const char* e);
SORVAK_API char* mids(const char* text, int start, int length, int fromEnd);
SORVAK_API char* rights(const char* text, int count);
SORVAK_API char* cuts(const char* text, int count);
SORVAK_API char* strrslash(const char* path);
SORVAK_API char* strslash(const char* path);
SORVAK_API char* dw2sz(int32_t value);
SORVAK_API char* lzdw2sz(int32_t value, int32_t digits);
SORVAK_API char* fp2sz(double value, int32_t decimals);
SORVAK_API char16_t* sz2wide(const char* text);
SORVAK_API char* wide2sz(const char16_t* text);
SORVAK_API double percent(double part, double whole);
SORVAK_API char* nanosec2time(int64_t time100ns);

// ---------------------------------------------------------------------------------------------
// WAV files and headers.

#pragma pack(push, 1)
// Format of an opened WAV slot: 26 bytes, packed, little-endian.
typedef struct WavFormat {
    uint32_t sampleRate;
    uint32_t bitsPerSample;
    uint32_t channels;
    uint32_t dataOffset;  // absolute file offset of the "data" chunk's body
    uint32_t dataLength;  // size of the "data" body as its chunk header states
    uint32_t blockAlign;
    uint16_t formatTag;   // 1 = PCM
} WavFormat;

// The 18-byte wave format record of the Windows wave interfaces.
typedef struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
} WAVEFORMATEX;
#pragma pack(pop)

// Opens a WAV file in a slot (0..9). Returns the slot's format record (valid until the slot is
// opened again) or null.
SORVAK_API WavFormat* OpenWAV(const char* path, int slot);
// Reads up to count sample bytes; returns the bytes that belong to the data chunk (0 at the end).
SORVAK_API int ReadWAV(int slot, int count, void* buffer);
// Moves to a byte position within the data chunk, rounded down to a whole frame; returns it.
SORVAK_API uint32_t SeekWAV(int slot, uint32_t position);
SORVAK_API void CloseWAV(int slot);
// Writes the canonical 44-byte header with both sizes 0. Returns 0 when the file could not be
// created, otherwise the status of closing it (0 on success).
SORVAK_API int CreateWAVHeader(const char* path, int sampleRate, int bitsPerSample, int channels);
// Size of a regular file in bytes; 0 for a missing file or a folder; 4294967295 from 4 GiB on.
SORVAK_API uint32_t FileSize(const char* path);

// ---------------------------------------------------------------------------------------------
// Wave-out streaming player and stream helpers.

// Fills a whole output buffer with interleaved 16-bit stereo samples. Runs on the player's
// worker thread.
typedef void (*SorvakFillFunction)(void* buffer);
// Polled by WaitTime with the remaining milliseconds; non-zero ends the wait.
typedef int (*SorvakPollFunction)(uint32_t remainingMilliseconds);

// Stream re-blocker record: caller-owned, fields in this order.
typedef struct StreamBufferRecord {
    const uint8_t* source;   // chunk being fed in
    uint32_t sourceLength;   // bytes of the chunk not yet consumed
    uint8_t* block;          // block being filled (allocated by operation 0)
    uint32_t blockSize;      // set by the caller before operation 0
    uint32_t sourceOffset;   // bytes of the chunk already consumed
    uint32_t fill;           // bytes of the block already filled
} StreamBufferRecord;

// device == null: opens the player and returns its handle (null on failure).
// device != null: closes that player and returns null.
SORVAK_API void* CreateWaveOut(int sampleRate, int bufferSize, int bufferCount, int deviceId,
                               SorvakFillFunction fill, void* device);
// Operations: 0 start, 1 feed (returns 1 when a block became full), 2 free, 3 reset.
SORVAK_API int StreamBuffer(StreamBufferRecord* record, int operation);
SORVAK_API uint32_t WaitTime(uint32_t milliseconds, SorvakPollFunction poll);

// ---------------------------------------------------------------------------------------------
// MP3 encoding (libmp3lame, loaded when the toolkit loads).

// Encodes a 16-bit stereo WAV file (44-byte header skipped) as constant-bit-rate MP3. Returns 0
// on success, and also 0, touching no file, when libmp3lame is not available; otherwise 1 (source
// unreadable), 2 (encoder failed) or 3 (destination unwritable), leaving no destination behind.
// A cancel (non-zero from progress) is no failure: the file is finished, flushed and tagged as
// usual and holds the audio up to the end of the chunk whose progress call cancelled.
SORVAK_API int WAV2MP3(const char* source, const char* destination, int bitRate, int sampleRate,
                       SorvakProgressFunction progress);
// WAV2MP3 with an ID3v2.3 tag in front of the audio: title (TIT2), artist (TPE1), album (TALB),
// year (TYER) and track (TRCK, "number/count"), as UTF-16 text. Results, progress and cancel are
// those of WAV2MP3; the information tag follows the ID3v2 tag. Null tags, or tags with no field
// set, give exactly the file WAV2MP3 writes.
SORVAK_API int WAV2MP3Tagged(const char* source, const char* destination, int bitRate, int sampleRate,
                             const SorvakTags* tags, SorvakProgressFunction progress);

// ---------------------------------------------------------------------------------------------
// Compressed-file reading (WMA, MP3 and whatever else the media layer decodes) and WMA writing.
// Times are 64-bit counts of 100 ns. Only regular files in audio containers are read: a named
// pipe, a device, a folder, a playlist or a concat script is refused at once, whatever its name.

SORVAK_API int OpenWMA(int slot, const char* path, int64_t startTime, int64_t* duration);
// Hands out the next block (44100 Hz, 16-bit stereo, malloc'ed, the caller frees it).
// Returns progress in percent, or -1 at the end (buffer null, length 0). The speed factor
// (1.0 = normal) must be a positive finite number; any other is refused with -1, buffer null
// and length 0, reading nothing and leaving the slot as it was.
SORVAK_API int ReadWMA(int slot, void** buffer, int32_t* length, int64_t* time, double speed, int32_t unused);
SORVAK_API void SeekWMA(int slot, int64_t time);
SORVAK_API void CloseWMA(int slot);
SORVAK_API WAVEFORMATEX* GetFormatWMA(int slot);
SORVAK_API char* GetWMADuration(const char* path);
// Title, Author, WM/AlbumTitle, WM/Year, WM/Genre, WM/TrackNumber, Duration, or any tag name.
// The text is overwritten by the next call; null when the file or the attribute is missing.
SORVAK_API char* GetWMAInfo(const char* path, const char* attribute);
// 0 on success; -1 when the source cannot be read or the WMA file written (none is left behind).
SORVAK_API int WAV2WMA(const char* source, const char* destination, int bitRate, SorvakProgressFunction progress);
// WAV2WMA with the tags as the file's attributes: Title, Author, WM/AlbumTitle, WM/Year and
// WM/TrackNumber (the number only: the format has no attribute for the count). Results,
// progress and cancel are those of WAV2WMA; null tags give the file WAV2WMA writes.
SORVAK_API int WAV2WMATagged(const char* source, const char* destination, int bitRate, const SorvakTags* tags,
                             SorvakProgressFunction progress);
// 0 on success; -1 on failure. The destination is a finalised WAV file whenever it could be
// created, empty when the source cannot be read.
SORVAK_API int WMA2WAV(const char* source, const char* destination, SorvakProgressFunction progress);

// What ExamineAudioFile finds a file to be.
enum {
    SORVAK_AUDIO_FILE_AUDIO = 0,         // audio AudioFileToWAV converts
    SORVAK_AUDIO_FILE_UNREADABLE = 1,    // missing, not a regular file, or not readable
    SORVAK_AUDIO_FILE_UNKNOWN = 2,       // not in any format the media layer knows (text, damaged header)
    SORVAK_AUDIO_FILE_OTHER_FORMAT = 3,  // a known format that is no audio container (container names it)
    SORVAK_AUDIO_FILE_VIDEO = 4,         // a video (container names its format)
    SORVAK_AUDIO_FILE_NO_AUDIO = 5,      // an audio container without an audio stream
    SORVAK_AUDIO_FILE_DAMAGED = 6,       // its audio does not decode
    SORVAK_AUDIO_FILE_RATE = 7,          // a sample rate outside 8000..192000 Hz (sampleRate holds it)
    SORVAK_AUDIO_FILE_CUT_OFF = 8        // its audio ends well before the length its headers state
};

// The findings of ExamineAudioFile. Texts are NUL-terminated; empty when unknown.
typedef struct SorvakAudioFileReport {
    int verdict;          // one of SORVAK_AUDIO_FILE_*
    int sampleRate;       // Hz, of the decoded audio
    int channels;
    int64_t duration;     // 100-ns units, 0 when unknown
    char container[96];   // FFmpeg's long name of the format ("Matroska / WebM")
    char demuxer[64];     // FFmpeg's short name ("matroska,webm")
    char codec[32];       // the audio codec's short name ("flac")
} SorvakAudioFileReport;

// Examines a file for AudioFileToWAV, reading only its headers, its first audio frame and its last
// two seconds. Fills the report and returns its verdict.
SORVAK_API int ExamineAudioFile(const char* path, SorvakAudioFileReport* report);
// Any audio file the media layer reads (WAV in any PCM format, FLAC, Ogg, Opus, MP3, AAC/M4A, WMA,
// ...) to a canonical 44100 Hz, 16-bit stereo WAV file: mono to both sides, more channels mixed
// down (ITU coefficients, normalised so that nothing clips), TPDF dither when bits are lost, and
// the polyphase converter at filter type 3 for any other rate. progress gets -1 first, then each
// new percentage; a non-zero result from it ends the conversion early (a file of the audio so
// far, result 0). 0 on success; -1 on failure, when no destination is left behind.
SORVAK_API int AudioFileToWAV(const char* source, const char* destination, SorvakProgressFunction progress);

// ---------------------------------------------------------------------------------------------
// Sample-rate conversion chain.

// Audio buffer descriptor: data, size in bytes, block alignment (bytes per frame).
typedef struct AudioBuffer {
    void* data;
    uint32_t size;
    uint32_t blockAlign;
} AudioBuffer;

// Resampler state carried between the blocks of one stream; zero before the first block.
typedef struct ResamplerState {
    double previousPosition;
    double nextPosition;
    double previousLeft;
    double previousRight;
} ResamplerState;

// Called for each frame in the working format (left, right) and may change it.
typedef int (*SorvakFrameFunction)(int16_t* frame);

SORVAK_API void ConvertAudioBufferAlign(const AudioBuffer* source, AudioBuffer* destination,
                                        int sourceBits, int destinationBits, int sourceChannels,
                                        int destinationChannels, SorvakFrameFunction perFrame);
SORVAK_API void PitchBendAudioBufferStereo(const AudioBuffer* source, AudioBuffer* destination,
                                           double startRatio, double endRatio, ResamplerState* state);
SORVAK_API int ResampleAudioBuffer(const AudioBuffer* source, AudioBuffer* destination,
                                   const WAVEFORMATEX* sourceFormat, const WAVEFORMATEX* destinationFormat,
                                   ResamplerState* state, double startSpeed, double endSpeed, int targetRate);
// Returns the destination path that was passed in, or null when nothing could be converted.
// The rate must lie in 1000..384000 Hz and the speed factor (1.0 = normal) be a positive
// finite number; anything else is refused with null before any file is touched.
SORVAK_API const char* ResampleWAV(const char* source, const char* destination, int rate, int bits,
                                   int channels, double speed, SorvakProgressFunction progress);

// ---------------------------------------------------------------------------------------------
// Filter, fade curve and tone generator.

// Cascaded filter state: caller-owned, zero before first use.
typedef struct AudioFilterState {
    double firstIntegrator[16];
    double secondIntegrator[16];
    double third[16];
} AudioFilterState;

SORVAK_API double lin2log(double x, double fullScale, int flags);
SORVAK_API double AudioFilter(double x, double frequency, double damping, double gain, int sampleRate,
                              int type, int stages, int invert, AudioFilterState* state);
SORVAK_API double SineWave(int sampleRate, double frequency, double amplitude, double* phase);

// ---------------------------------------------------------------------------------------------
// Polyphase resampler engine (fixed point).

typedef struct PolyphaseConverter PolyphaseConverter;

// Returns a converter, or null when the rates are equal or invalid. Release with FreeResampler.
SORVAK_API PolyphaseConverter* InitResampler(int inputRate, int outputRate, int channels, int type);
SORVAK_API void FreeResampler(PolyphaseConverter* converter);
// Converts a block of whole frames; `output` holds samples * L / M plus one frame. Returns the
// samples written, or -1 for a bad argument or a block whose output would not fit an int.
SORVAK_API int Resample(const int16_t* input, int samples, int16_t* output, PolyphaseConverter* converter);
// L rows of `count` (rounded up to even) Q15 taps, zeroed, released with free; null when refused.
SORVAK_API int16_t* MakeFilter(int phases, int decimation, int type, int* count);
SORVAK_API void Interpolate(const int32_t* source, int sourceLength, int32_t* destination,
                            int destinationLength, int32_t gain);
SORVAK_API int32_t mulhi(int32_t a, int32_t b);
SORVAK_API uint32_t udivhi(uint32_t a, uint32_t b);
SORVAK_API uint32_t gcd(uint32_t a, uint32_t b);
SORVAK_API uint32_t MIN(uint32_t a, uint32_t b);
SORVAK_API uint32_t MAX(uint32_t a, uint32_t b);

// ---------------------------------------------------------------------------------------------
// CD audio extraction.

// Rips one audio track into a 44100 Hz 16-bit stereo WAV file at destination. The track path is
// the drive's root followed by the track's name, whose two digits six characters before the end
// are the track number: a drive's root is its device path and a '/', so "/dev/sr0/Track05.cda"
// is track 5 of the first drive. Roots are compared exactly, case included. Drives are found at
// the first call (at most 8; the environment variable WAVELARK_CD chooses the kernel's drives or
// an emulated one), and the disc's table of contents is read at every call. progress gets -1
// first, then after each sector the whole percent of the track written before it; non-zero from
// it stops the rip after that sector (a cancel is no failure). Runs on the calling thread until
// the track is read; the drive is given at most 30 s to become ready. Results:
//   0  the track (or, after a cancel, its beginning) is in the file, its header finalised;
//   1  no such track: no drive was found, the path's root names none, its track number is not
//      on the disc or the track holds data; no file is written;
//   2  the drive is not ready: no disc, not ready within 30 s, or its table of contents is
//      unreadable; no file is written;
//   3  the destination could not be written (also a disk that filled up part-way): no file is
//      left;
//   4  a sector could not be read (or the disc was changed during the rip): the file holds the
//      track up to the sector before it, with its header finalised.
SORVAK_API int CDtoWAV(const char* trackPath, const char* destination, int unused, SorvakProgressFunction progress);

// ---------------------------------------------------------------------------------------------
// Window, dialog and file helpers. Window handles are QWidget*, device contexts QPainter*,
// fonts QFont*, bitmaps QImage*; control identifiers are the widgets' "controlId" property.

// Called for each file chosen in a multiple selection.
typedef int (*SorvakFileFunction)(const char* path);
// Called for each file SearchFiles finds; non-zero stops the search of that folder.
typedef int (*SorvakSearchFunction)(const char* path, const char* folder, const char* name, int match);

SORVAK_API char* GetOpenFilenames(void* owner, int multiple, const char* title, const char* initialFolder,
                                  const char* filter, int listBoxId, SorvakFileFunction perFile);
SORVAK_API int LBDeleteSelected(void* dialog, int listBoxId);
SORVAK_API int CreateDesktopShortcut(void* owner, const char* name, const char* target);
SORVAK_API char* BrowseForFolder(const char* title, char* displayName);
SORVAK_API char* wmGetText(void* dialog, int controlId);
SORVAK_API void* BitmapButtonXP(void* module, void* dialog, int bitmapId, int buttonId, int imageWidth,
                                int imageHeight, int leftMargin, int topMargin, int alignment,
                                uint32_t maskColour, void* font);
SORVAK_API void* LoadResourceJpeg(void* module, void* window, int resourceId);
SORVAK_API int AddComboStrings(void* dialog, int comboId, const char* texts, int resize, int height, int index);
SORVAK_API void EnableWindows10(void* dialog, int enable, int id1, int id2, int id3, int id4, int id5,
                                int id6, int id7, int id8, int id9, int id10);
SORVAK_API int SetFonts10(void* dialog, int id1, int id2, int id3, int id4, int id5, int id6, int id7,
                          int id8, int id9, int id10, void* font);
SORVAK_API int DrawSolidRectangle(void* painter, int left, int top, int right, int bottom, int penWidth,
                                  int penStyle, uint32_t penColour, uint32_t brushColour, int mode);
SORVAK_API int AddToolTip(void* dialog, void* toolTip, int controlId, const char* text);
SORVAK_API void* ResizeBitmap(void* bitmap, int width, int height);
SORVAK_API int SearchFiles(const char* folder, const char* extensions, SorvakSearchFunction function, int noDescent);
SORVAK_API int MakeFolder(const char* path);

#endif
