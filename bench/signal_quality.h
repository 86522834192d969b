// Signal measurements shared by the benchmarks: distortion and tone levels of 16-bit PCM.
//
// Both functions read the first channel of interleaved samples and skip a settling margin at each
// end of the block (a tenth of the frames, at most a quarter of a second), so the start-up and
// run-out of a filter do not count. They return -infinity for a silent or too short block.
#ifndef WAVELARK_BENCH_SIGNAL_QUALITY_H
#define WAVELARK_BENCH_SIGNAL_QUALITY_H

#include <cstddef>
#include <cstdint>

// THD+N of a tone at `frequency` in dB relative to the tone: the tone (with any DC offset) is
// removed by a least-squares sine fit and the RMS of what remains is compared with the RMS of the
// fitted tone. -80 means everything that is not the tone lies 80 dB below it.
double thdPlusNoiseDb(const int16_t* samples, size_t frames, int channels, int sampleRate, double frequency);

// Level of the tone at `frequency` in dBFS (0 dBFS is a sine whose peak is 32768), found by a
// least-squares fit weighted with a Hann window so that other tones leak little into it.
double toneLevelDb(const int16_t* samples, size_t frames, int channels, int sampleRate, double frequency);

#endif
