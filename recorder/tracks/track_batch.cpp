#include "tracks/track_batch.h"

#include "tracks/track_names.h"

#include <cmath>
#include <limits>

namespace wavelark {

std::vector<BatchTrack> batchTracks(const TrackMarkers& markers, const std::vector<std::string>& titles,
                                    SaveFormat format, std::size_t nameLimit)
{
    std::vector<BatchTrack> tracks;
    const std::size_t count = markers.size();
    std::vector<std::string> allTitles(count);
    for (std::size_t index = 0; index < count && index < titles.size(); ++index)
        allTitles[index] = titles[index];
    std::string extension = saveExtension(format);
    extension.erase(0, 1);
    const std::vector<std::string> names = trackFileNames(allTitles, extension, nameLimit);
    for (std::size_t index = 0; index < count; ++index) {
        const uint64_t start = markers.markers()[index].frame * 4;
        const uint64_t end = markers.trackEnd(index) * 4;
        if (end > std::numeric_limits<uint32_t>::max() || end <= start)
            return {};
        tracks.push_back(BatchTrack{static_cast<int>(index + 1), allTitles[index],
                                    SaveRange{static_cast<uint32_t>(start), static_cast<uint32_t>(end)}, names[index]});
    }
    return tracks;
}

double ceilingSample(PeakCeiling ceiling)
{
    return ceiling == PeakCeiling::MinusOneDbfs ? 32767.0 * std::pow(10.0, -1.0 / 20.0) : 32767.0;
}

double sideMaximiseGain(int16_t sidePeak, const TrackBatchChoices& choices)
{
    // A side without a positive sample keeps unit gain, as the single save's maximise does.
    if (!choices.maximiseOn || sidePeak <= 0)
        return 1.0;
    return ceilingSample(choices.ceiling) / sidePeak;
}

FadeSettings cutFades(const TrackBatchChoices& choices)
{
    FadeSettings fades;
    fades.fadeInOn = fades.fadeOutOn = choices.fadesOn && choices.fadeMilliseconds > 0;
    fades.fadeInMilliseconds = fades.fadeOutMilliseconds = fades.fadeInOn ? choices.fadeMilliseconds : 0;
    return fades;
}

SorvakTags trackTags(const SideTags& tags, const BatchTrack& track, int total)
{
    SorvakTags result{};
    result.title = track.title.c_str();
    result.artist = tags.artist.c_str();
    result.album = tags.album.c_str();
    result.year = tags.year.c_str();
    result.trackNumber = track.number;
    result.trackCount = total;
    return result;
}

std::vector<SideTrack> sideTrackList(const std::vector<BatchTrack>& tracks)
{
    std::vector<SideTrack> list;
    for (const BatchTrack& track : tracks)
        list.push_back(SideTrack{track.title, track.fileName, 0, track.range.bytes() / 4});
    return list;
}

std::string sideFileBase(const SideTags& tags, std::size_t nameLimit)
{
    // ".m3u8" is the longer extension; a name of one track's file rules fit it the same way.
    constexpr std::size_t kExtensionBytes = 5;
    const std::string album = singleLineText(tags.album);
    std::string base = album.find_first_not_of(" .") == std::string::npos ? std::string("Side")
                                                                           : safeTrackTitle(album, 0, 1);
    const std::size_t limit = nameLimit > kExtensionBytes ? nameLimit - kExtensionBytes : 1;
    base.resize(utf8Prefix(base, limit));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    return base.empty() ? std::string("Side") : base;
}

}
