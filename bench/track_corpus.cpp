#include "track_corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

namespace wavelark::corpus {

namespace {

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A small deterministic generator (splitmix64): the same numbers on every platform, unlike the
// standard library's distributions.
struct Random {
    uint64_t state;
    uint64_t next()
    {
        uint64_t value = (state += 0x9E3779B97F4A7C15ull);
        value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
        value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
        return value ^ (value >> 31);
    }
    double uniform(double low, double high) { return low + (high - low) * double(next() >> 11) / double(1ull << 53); }
};

constexpr double kQuietOverHissDb = 20.0;

uint64_t framesOf(double seconds) { return uint64_t(std::llround(std::max(0.0, seconds) * kRate)); }
double amplitudeOf(double db) { return std::pow(10.0, db / 20.0); }

// One cycle of a sine and of a tone with four harmonics (normalised to a peak near 1), looked up
// by a phase in cycles: a side of 20 minutes renders in seconds, not minutes.
constexpr std::size_t kTableSize = 4096;
struct WaveTables {
    float sine[kTableSize + 1];
    float rich[kTableSize + 1];
    WaveTables()
    {
        for (std::size_t index = 0; index <= kTableSize; ++index) {
            const double phase = kTwoPi * double(index) / kTableSize;
            sine[index] = float(std::sin(phase));
            rich[index] = float(0.55 * (std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.33 * std::sin(3 * phase)
                                        + 0.25 * std::sin(4 * phase)));
        }
    }
};
const WaveTables& tables()
{
    static const WaveTables waveTables;
    return waveTables;
}
double lookUp(const float* table, double cycles)
{
    const double position = (cycles - std::floor(cycles)) * kTableSize;
    const std::size_t index = std::size_t(position);
    const double fraction = position - double(index);
    return table[index] + (table[index + 1] - table[index]) * fraction;
}

double noteHertz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

uint64_t mixed(uint64_t seed, uint64_t value)
{
    Random random{seed ^ (value * 0x9E3779B97F4A7C15ull)};
    return random.next();
}

}

SidePlan planSide(const SideRecipe& recipe)
{
    SidePlan plan;
    plan.recipe = recipe;
    Random random{recipe.seed};
    uint64_t position = framesOf(recipe.leadInSeconds);
    plan.musicStart = position;
    for (int index = 0; index < recipe.songs; ++index) {
        SongPlan song;
        const double seconds = random.uniform(recipe.shortestSongSeconds, recipe.longestSongSeconds);
        song.startFrame = position;
        song.endFrame = position + framesOf(seconds);
        song.seed = random.next();
        song.levelDb = float(recipe.songLevelDb + random.uniform(-3, 3));
        song.beatSeconds = 60.0 / random.uniform(70, 140);
        song.drums = random.uniform(0, 1) < 0.7;
        song.decaySeconds = float(random.uniform(0.15, 1.2));
        if (random.uniform(0, 1) < 0.15) {
            // A sparse song: slow single notes, nothing held between them.
            song.sustain = 0.02f;
            song.drums = false;
            song.beatSeconds = 60.0 / random.uniform(60, 80);
            song.decaySeconds = float(random.uniform(0.15, 0.3));
        }
        if (recipe.fades && random.uniform(0, 1) < 0.3)
            song.fadeInFrames = framesOf(random.uniform(0.3, 1.5));
        // Most songs fade out; the others end on a quick release of their last note.
        song.fadeOutFrames = framesOf(recipe.fades && random.uniform(0, 1) < 0.6 ? random.uniform(2, 8) : random.uniform(0.2, 0.8));
        // A medley: the song runs straight into the next, which starts at once.
        if (index == recipe.gaplessBreak)
            song.fadeOutFrames = 0;
        if (recipe.gaplessBreak >= 0 && index == recipe.gaplessBreak + 1)
            song.fadeInFrames = 0;
        if (recipe.quietPassages && random.uniform(0, 1) < 0.6) {
            song.quietStart = song.startFrame + framesOf(seconds * random.uniform(0.3, 0.6));
            song.quietEnd = song.quietStart + framesOf(std::min(seconds * 0.25, random.uniform(4, 10)));
            // Audible over the hiss: a passage under it is no passage.
            song.quietDb = float(std::max(random.uniform(-28, -12), recipe.hissDb + kQuietOverHissDb - song.levelDb));
        }
        plan.songs.push_back(song);
        plan.sleeveSeconds.push_back(std::round(seconds + random.uniform(-1.5, 2.5)));
        position = song.endFrame;
        if (index + 1 < recipe.songs) {
            const double gap = index == recipe.gaplessBreak ? 0.0 : random.uniform(recipe.shortestGapSeconds, recipe.longestGapSeconds);
            plan.gaps.push_back({position, position + framesOf(gap)});
            position += framesOf(gap);
        }
    }
    plan.musicEnd = position;
    plan.frames = position + framesOf(recipe.runOutSeconds);
    return plan;
}

std::vector<SideRecipe> corpusRecipes(int count, double shortestSongSeconds, double longestSongSeconds)
{
    std::vector<SideRecipe> recipes;
    for (int index = 0; index < count; ++index) {
        SideRecipe recipe;
        recipe.seed = 7919ull * uint64_t(index + 1);
        recipe.songs = 4 + index % 4;
        recipe.shortestSongSeconds = shortestSongSeconds;
        recipe.longestSongSeconds = longestSongSeconds;
        recipe.humHertz = index % 3 == 0 ? 50 : index % 3 == 1 ? 60 : 0;
        recipe.crackle = index % 4 != 3;
        recipe.rumble = index % 3 != 1;
        recipe.hissDb = -50.0 - double(index * 7 % 19);
        recipe.cracklePerSecond = 4.0 + double(index * 11 % 27);
        recipe.fades = index % 6 != 5;
        recipe.quietPassages = index % 2 == 0 || index % 5 == 1;
        recipe.leadInSeconds = 0.6 + double(index * 13 % 35) / 10.0;
        recipe.runOutSeconds = 2.0 + double(index * 17 % 14);
        recipe.songLevelDb = -14.0 - double(index * 5 % 9);
        recipes.push_back(recipe);
    }
    return recipes;
}

SideRenderer::SideRenderer(const SidePlan& plan)
    : m_plan(plan), m_state(plan.recipe.seed ^ 0x5EEDull), m_hissAmplitude(amplitudeOf(plan.recipe.hissDb)),
      m_humAmplitude(amplitudeOf(plan.recipe.hissDb + 8) * 1.41)
{
}

double SideRenderer::nextUniform()
{
    Random random{m_state};
    const double value = random.uniform(-1, 1);
    m_state = random.state;
    return value;
}

double SideRenderer::songSample(const SongPlan& song, uint64_t frame)
{
    const uint64_t inSong = frame - song.startFrame;
    const uint64_t beatFrames = std::max<uint64_t>(1, uint64_t(song.beatSeconds * kRate));
    const uint64_t beat = inSong / beatFrames;
    const double inBeat = double(inSong % beatFrames) / kRate;
    // A chord a bar, from the song's key and a progression its seed picks.
    static constexpr int kDegrees[6] = {0, 5, 7, 9, 3, 10};
    if (&song != m_chordSong || beat / 4 != m_chordBar) {
        m_chordSong = &song;
        m_chordBar = beat / 4;
        const int key = 40 + int(song.seed % 12);
        const int root = key + kDegrees[mixed(song.seed, m_chordBar) % 6];
        const int minor = int(mixed(song.seed, m_chordBar + 1000) % 2);
        const int notes[5] = {root + 12, root + 16 - minor, root + 19, root + 24, root};
        for (int index = 0; index < 5; ++index)
            m_steps[index] = noteHertz(notes[index]) / kRate;
    }

    const bool quiet = frame >= song.quietStart && frame < song.quietEnd;
    double envelope = std::min(1.0, inBeat / 0.01) * (song.sustain + (1.0 - song.sustain) * std::exp(-inBeat / song.decaySeconds));
    if (quiet)
        envelope = std::max(envelope, 0.5); // a quiet interlude holds its chords
    double sample = 0;
    for (int index = 0; index < 5; ++index) {
        m_phases[index] += m_steps[index];
        m_phases[index] -= std::floor(m_phases[index]);
    }
    for (int index = 0; index < 4; ++index)
        sample += 0.22 * lookUp(tables().rich, m_phases[index]) * envelope;
    sample += 0.3 * lookUp(tables().sine, m_phases[4]) * std::exp(-inBeat / 0.35) * (quiet ? 0.3 : 1.0);
    if (song.drums && !quiet) {
        const double halfBeat = std::fmod(inBeat, song.beatSeconds / 2);
        const double kick = beat % 2 == 0 ? std::exp(-inBeat / 0.06) : 0.0;
        const double hat = 0.3 * std::exp(-halfBeat / 0.02);
        m_drum += 0.5 * (nextUniform() - m_drum);
        sample += 0.6 * kick * m_drum + hat * nextUniform();
    }

    double gainDb = song.levelDb;
    if (song.quietEnd > song.quietStart) {
        // The passage's level, reached over half a second.
        const double ramp = 0.5 * kRate;
        const double into = std::clamp(std::min(double(frame) - double(song.quietStart), double(song.quietEnd) - double(frame)) / ramp, 0.0, 1.0);
        gainDb += song.quietDb * into;
    }
    double gain = (song.quietEnd > song.quietStart ? amplitudeOf(gainDb) : m_songAmplitude) * 1.4;
    if (inSong < song.fadeInFrames)
        gain *= std::pow(double(inSong) / double(song.fadeInFrames), 2);
    const uint64_t left = song.endFrame - frame;
    if (left < song.fadeOutFrames)
        gain *= std::pow(double(left) / double(song.fadeOutFrames), 2);
    return sample * gain;
}

double SideRenderer::surfaceSample(uint64_t frame, int channel)
{
    const SideRecipe& recipe = m_plan.recipe;
    const double hiss = m_hissAmplitude * 1.7 * nextUniform();
    double sample = hiss;
    if (recipe.rumble) {
        // White noise through a one-pole low-pass near 15 Hz, 12 dB over the hiss.
        m_rumble[channel] += 0.002 * (nextUniform() - m_rumble[channel]);
        sample += m_rumble[channel] * m_hissAmplitude * 4.0 / 0.018;
    }
    if (channel == 0) {
        m_click *= 0.7;
        if (recipe.crackle && nextUniform() > 1.0 - 2.0 * recipe.cracklePerSecond / kRate)
            m_click = amplitudeOf(40.0 * nextUniform() - 30.0) * (nextUniform() > 0 ? 1 : -1);
        const bool runOut = frame >= m_plan.musicEnd + uint64_t(kRate);
        if (runOut && (frame - m_plan.musicEnd) % uint64_t(1.8 * kRate) == 0)
            m_click = amplitudeOf(-14);
        if (frame == uint64_t(double(m_plan.musicStart) * 0.4) && m_plan.musicStart > 0)
            m_thump = amplitudeOf(-8);
        m_thump *= std::exp(-1.0 / (0.08 * kRate));
    }
    sample += m_click;
    if (m_thump > 1e-5)
        sample += m_thump * lookUp(tables().sine, 40.0 * double(frame) / kRate);
    if (recipe.humHertz > 0) {
        const double cycles = recipe.humHertz * double(frame % uint64_t(kRate)) / kRate;
        sample += m_humAmplitude * (lookUp(tables().sine, cycles) + 0.3 * lookUp(tables().sine, 3 * cycles));
    }
    return sample;
}

std::size_t SideRenderer::render(std::span<int16_t> out)
{
    const std::size_t frames = std::min<uint64_t>(out.size() / 2, m_plan.frames - m_frame);
    for (std::size_t index = 0; index < frames; ++index, ++m_frame) {
        while (m_song < m_plan.songs.size() && m_frame >= m_plan.songs[m_song].endFrame)
            ++m_song;
        double music = 0;
        if (m_song < m_plan.songs.size() && m_frame >= m_plan.songs[m_song].startFrame) {
            if (m_amplitudeSong != m_song) {
                m_amplitudeSong = m_song;
                m_songAmplitude = amplitudeOf(m_plan.songs[m_song].levelDb);
            }
            music = songSample(m_plan.songs[m_song], m_frame);
        }
        const double left = music + surfaceSample(m_frame, 0);
        const double right = 0.9 * music + surfaceSample(m_frame, 1);
        out[2 * index] = int16_t(std::clamp(left * 32767.0, -32768.0, 32767.0));
        out[2 * index + 1] = int16_t(std::clamp(right * 32767.0, -32768.0, 32767.0));
    }
    return frames;
}

std::vector<int16_t> renderSide(const SidePlan& plan)
{
    std::vector<int16_t> samples(plan.frames * 2);
    SideRenderer renderer(plan);
    renderer.render(samples);
    return samples;
}

bool writeSide(const SidePlan& plan, const std::string& path, bool wav)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file)
        return false;
    if (wav) {
        const uint32_t dataBytes = uint32_t(plan.frames * 4);
        auto word = [](uint32_t value, int bytes) {
            std::string text;
            for (int index = 0; index < bytes; ++index)
                text.push_back(char((value >> (8 * index)) & 0xFF));
            return text;
        };
        const std::string header = "RIFF" + word(36 + dataBytes, 4) + "WAVEfmt " + word(16, 4) + word(1, 2) + word(2, 2)
                                   + word(44100, 4) + word(44100 * 4, 4) + word(4, 2) + word(16, 2) + "data" + word(dataBytes, 4);
        if (std::fwrite(header.data(), 1, header.size(), file.get()) != header.size())
            return false;
    }
    SideRenderer renderer(plan);
    std::vector<int16_t> block(65536 * 2);
    while (const std::size_t frames = renderer.render(block)) {
        if (std::fwrite(block.data(), 4, frames, file.get()) != frames)
            return false;
    }
    return std::fclose(file.release()) == 0;
}

}
