#include "tracks/playlist.h"

#include "core/take_format.h"
#include "tracks/track_names.h"

namespace wavelark {

uint64_t playlistSeconds(uint64_t frames)
{
    return (frames + kTakeSampleRate / 2) / kTakeSampleRate;
}

std::string sidePlaylist(const SideTags& tags, const std::vector<SideTrack>& tracks)
{
    std::string playlist = "#EXTM3U\n";
    const int total = static_cast<int>(tracks.size());
    for (int number = 1; number <= total; ++number) {
        const SideTrack& track = tracks[static_cast<std::size_t>(number - 1)];
        const std::string title = track.title.empty() ? defaultTrackTitle(number, total) : track.title;
        playlist += "#EXTINF:" + std::to_string(playlistSeconds(track.frames)) + ",";
        if (!tags.artist.empty())
            playlist += singleLineText(tags.artist) + " - ";
        playlist += singleLineText(title) + "\n";
        const std::string fileName = singleLineText(track.fileName);
        if (!fileName.empty() && fileName.front() == '#')
            playlist += "./";
        playlist += fileName + "\n";
    }
    return playlist;
}

}
