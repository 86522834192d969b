// Generated record and tape sides for the break finder's benchmark and tests: songs of music-like
// material (chords with rhythmic envelopes, noise bursts on the beat, a bass line), fade-ins and
// fade-outs, quiet passages inside songs, gaps of chosen lengths, a lead-in with a needle drop and
// a run-out groove ticking once a turn, under the side's own surface: tape hiss, crackle (random
// clicks), rumble (low-frequency noise) and 50 or 60 Hz hum. Everything follows from the recipe's
// seed: the same recipe gives the same samples on every run.
//
// A side is rendered block by block (44100 Hz 16-bit stereo, interleaved), so a 20-minute side
// never has to be held in memory. Thread: a renderer belongs to one thread; recipes and plans are
// values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace wavelark::corpus {

struct SideRecipe {
    uint64_t seed = 1;
    int songs = 5;
    double shortestSongSeconds = 150;
    double longestSongSeconds = 270;
    double shortestGapSeconds = 0.8;
    double longestGapSeconds = 4.0;
    double leadInSeconds = 2.0;
    double runOutSeconds = 8.0;
    double hissDb = -60;     // the level of the hiss; rumble and hum sit relative to it
    bool crackle = true;
    double cracklePerSecond = 8;
    bool rumble = true;
    int humHertz = 50;       // 0, 50 or 60
    bool fades = true;       // some songs fade in, most fade out
    bool quietPassages = true;
    int gaplessBreak = -1;   // the break (0-based) where the next song follows with no gap, or -1
    double songLevelDb = -18;
};

struct GapTruth {
    uint64_t startFrame = 0; // the first frame after a song's last sound
    uint64_t endFrame = 0;   // the first frame of the next song
};

struct SongPlan {
    uint64_t startFrame = 0;
    uint64_t endFrame = 0;
    uint64_t fadeInFrames = 0;
    uint64_t fadeOutFrames = 0;
    uint64_t quietStart = 0; // a quiet passage [quietStart, quietEnd), both 0 for none
    uint64_t quietEnd = 0;
    float quietDb = 0;       // the passage's level under the song's
    float levelDb = -18;
    double beatSeconds = 0.5;
    bool drums = true;
    float decaySeconds = 0.4; // the chord notes' decay: short for plucked, long for pads
    float sustain = 0.2;      // what is left of a note at the end of its beat: near 0 for a sparse song
    uint64_t seed = 0;
};

struct SidePlan {
    SideRecipe recipe;
    uint64_t frames = 0;
    uint64_t musicStart = 0;
    uint64_t musicEnd = 0;
    std::vector<SongPlan> songs;
    std::vector<GapTruth> gaps;        // songs.size() - 1 of them (empty ones for gapless breaks)
    std::vector<double> sleeveSeconds; // each song's length as a sleeve prints it: whole seconds, a little off
};

SidePlan planSide(const SideRecipe& recipe);

// count varied recipes: 4 to 7 songs each of the given lengths, every kind of surface (hiss from
// -50 to -68 dB, 4 to 30 clicks a second), gaps of 0.8 to 4 s, short and long lead-ins and
// run-outs. About one song in seven is sparse: single notes dying away towards the floor between
// beats. A quiet passage lies at least 20 dB over the hiss: quieter, no listener would hear it
// from a gap between songs.
std::vector<SideRecipe> corpusRecipes(int count, double shortestSongSeconds, double longestSongSeconds);

class SideRenderer {
public:
    explicit SideRenderer(const SidePlan& plan);
    // Writes the next frames into out (interleaved stereo; out.size() / 2 frames at most); the
    // frames written, 0 at the side's end.
    std::size_t render(std::span<int16_t> out);

private:
    double nextUniform(); // -1..1
    double songSample(const SongPlan& song, uint64_t frame);
    double surfaceSample(uint64_t frame, int channel);

    const SidePlan& m_plan;
    uint64_t m_frame = 0;
    uint64_t m_state;
    std::size_t m_song = 0;
    double m_rumble[2] = {0, 0};
    double m_click = 0;
    double m_thump = 0;
    double m_drum = 0;
    double m_phases[5] = {0, 0, 0, 0, 0}; // in cycles
    double m_steps[5] = {0, 0, 0, 0, 0};  // cycles a frame of the current chord's notes and bass
    const SongPlan* m_chordSong = nullptr;
    uint64_t m_chordBar = 0;
    std::size_t m_amplitudeSong = std::numeric_limits<std::size_t>::max();
    double m_songAmplitude = 0;
    double m_hissAmplitude;
    double m_humAmplitude;
};

// A whole side in memory (for short sides in tests).
std::vector<int16_t> renderSide(const SidePlan& plan);
// Writes the side to a file as a raw take (or, with wav, as a 44-byte-header WAV); false when it
// cannot be written.
bool writeSide(const SidePlan& plan, const std::string& path, bool wav);

}
