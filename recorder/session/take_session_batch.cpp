// The take's session's Save Tracks: every track of the side into the archive folder at once.
//
// The window thread plans the batch (names, the question before replacing, the side's peak for
// its one maximise gain), writes the saving mark naming every file, and hands the tracks to a
// pool of workers (take/track_encoder_pool.h). As each track comes back it is read back and
// renamed into place here, and the mark is written again without it, so that a crash leaves a
// mark naming exactly the files not written. The cue sheet and the playlist follow once every
// track is in place. Cancel stops the workers; the tracks already in place stay, side files and
// temporary WAVs go.

#include "session/take_session.h"

#include "session/progress_reporter.h"

#include "tracks/cue_sheet.h"
#include "tracks/playlist.h"

#include "take/pcm_blocks.h"
#include "take/archive_side_file.h"
#include "take/conversion_stages.h"
#include "take/track_encoder_pool.h"

#include "core/file_toolbox.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <span>
#include <thread>

namespace wavelark {

namespace {

std::string encoded(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString decoded(const std::string& path)
{
    return QFile::decodeName(path.c_str());
}

std::optional<FileFailure> writeText(const std::string& path, const std::string& text)
{
    return replaceFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// A track back from the pool, on the window thread: read back and renamed into place (formats
// encoded in the pool), or converted here (WAV). Its temporary WAV goes.
SaveResult placeTrack(const TrackEncodingJob& job, SaveResult result)
{
    if (result.ok()) {
        if (encodesOnAnyThread(job.format)) {
            result = checkSideFile(job.sidePath, job.shownPath, job.format, job.quality, job.range.bytes(), SavedPart::Track);
            result = placeSideFile(result, job.sidePath, job.shownPath);
        } else {
            const ProgressRoute route([](int) {});
            const SorvakTags tags = job.tags();
            result = convertTemporaryWav(job.temporaryPath, job.shownPath, job.format, job.quality, job.range.bytes(),
                                         &progressReporter, &tags);
        }
    }
    ::unlink(job.temporaryPath.c_str());
    return result;
}

}

bool TakeSession::saveTracks(const TrackBatchChoices& choices, const std::function<bool()>& cancelRequested)
{
    if (m_phase != SessionPhase::Idle || !m_hasTake || m_markers.empty())
        return false;
    const QString caption = QString::fromLatin1(kSaveTracksCaption);
    const QString folder = QString::fromUtf8(m_settings.archiveFolder);
    const std::size_t nameLimit = longestFileName(encoded(folder));
    // Every name leaves room for the ".part" its writer adds while it writes.
    const std::size_t partLimit = nameLimit > 5 ? nameLimit - 5 : 1;
    const std::vector<BatchTrack> tracks = batchTracks(m_markers, choices.titles, choices.format, partLimit);
    if (tracks.empty()) {
        warn(caption, QStringLiteral("The tracks lie past what can be saved, so nothing was saved."));
        return false;
    }
    // The titles typed are kept with the markers first: a cancelled or failed batch, or the next
    // start after a crash, offers them again instead of "Track 01" ...
    bool retitled = false;
    for (std::size_t index = 0; index < choices.titles.size(); ++index)
        retitled = m_markers.setTitle(index, choices.titles[index]) || retitled;
    if (retitled)
        keepTrackMarkers(caption);
    const int total = static_cast<int>(tracks.size());
    const std::string sideBase = sideFileBase(choices.tags, partLimit);
    const QString cuePath = folder + QString::fromStdString(sideBase + ".cue");
    const QString playlistPath = folder + QString::fromStdString(sideBase + ".m3u8");

    QList<BatchFile> pending;
    QStringList existing;
    for (const BatchTrack& track : tracks) {
        const QString path = folder + QString::fromStdString(track.fileName);
        pending << BatchFile{decoded(sidePathOf(encoded(path))), QString::fromStdString(track.fileName)};
    }
    for (const QString& path : {cuePath, playlistPath})
        pending << BatchFile{path + QStringLiteral(".part"), path.mid(folder.size())};
    for (const BatchFile& file : pending)
        if (QFile::exists(folder + file.fileName))
            existing << file.fileName;
    if (!existing.isEmpty()
        && !m_display.ask(caption, QStringLiteral("%1 of the files to be saved exist already in the archive folder, "
                                                  "\"%2\" among them.\n\nReplace them?")
                                       .arg(existing.size())
                                       .arg(existing.front())))
        return false;

    enterPhase(SessionPhase::Saving);
    m_display.clearHealth();
    m_display.setProgress(0);
    const std::string takePath = encoded(m_paths.take());
    double gain = 1.0;
    if (choices.maximiseOn) {
        // One gain for the side: the peak of every track together.
        setStatusText(QStringLiteral(" Scanning Audio ..."));
        std::string error;
        PcmRegion region;
        std::optional<int16_t> peak;
        const SaveRange side{tracks.front().range.start, tracks.back().range.end};
        if (region.openForReading(takePath, side.start, side.bytes(), &error))
            peak = scanPeak(region, [this](int percent) {
                m_display.setProgress(percent);
                QCoreApplication::processEvents();
            }, kPcmBlockSize, &error);
        if (!peak) {
            enterPhase(SessionPhase::Idle);
            warn(caption, QStringLiteral("The take could not be read (%1), so nothing was saved.")
                              .arg(QString::fromLocal8Bit(error.c_str())));
            return false;
        }
        gain = sideMaximiseGain(*peak, choices);
    }

    std::vector<TrackEncodingJob> jobs;
    for (const BatchTrack& track : tracks) {
        TrackEncodingJob job;
        job.takePath = takePath;
        job.temporaryPath = encoded(batchTemporaryWav(m_paths, track.number));
        job.shownPath = encoded(folder + QString::fromStdString(track.fileName));
        job.sidePath = sidePathOf(job.shownPath);
        job.range = track.range;
        job.fades = cutFades(choices);
        job.gain = gain;
        job.format = choices.format;
        job.quality = choices.quality;
        job.title = track.title;
        job.artist = choices.tags.artist;
        job.album = choices.tags.album;
        job.year = choices.tags.year;
        job.trackNumber = track.number;
        job.trackCount = total;
        jobs.push_back(std::move(job));
    }
    // Without its mark an interrupted batch would leave its side files in the archive folder.
    QString markProblem = writeBatchSavingMark(m_paths, pending);
    setStatusText(QStringLiteral(" Saving Tracks ..."));
    QCoreApplication::processEvents();

    TrackEncoderPool pool(std::move(jobs), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<bool> placed(tracks.size(), false);
    int saved = 0;
    QString failure;
    for (;;) {
        const std::vector<std::size_t> finished = pool.takeFinished(std::chrono::milliseconds(30));
        for (const std::size_t index : finished) {
            const SaveResult result = placeTrack(pool.job(index), pool.result(index));
            placed[index] = true;
            if (result.ok()) {
                ++saved;
                const QString name = QString::fromStdString(tracks[index].fileName);
                pending.removeIf([&name](const BatchFile& file) { return file.fileName == name; });
                if (const QString problem = writeBatchSavingMark(m_paths, pending); !problem.isEmpty())
                    markProblem = problem;
            } else if (!pool.cancelled() && failure.isEmpty()) {
                // The first failure stops the batch: the rest would most likely fail alike.
                failure = QString::fromStdString(result.message);
                pool.cancel();
            }
        }
        int percent = 0;
        for (std::size_t index = 0; index < pool.size(); ++index)
            percent += placed[index] ? 100 : pool.percent(index);
        percent /= static_cast<int>(pool.size());
        m_display.setProgress(percent);
        setStatusText(QStringLiteral(" Saving Tracks ... %1 of %2 ... %3 %").arg(saved).arg(total).arg(percent));
        QCoreApplication::processEvents();
        if (pool.allFinished() && std::all_of(placed.begin(), placed.end(), [](bool done) { return done; }))
            break;
        if (!pool.cancelled() && cancelRequested && cancelRequested())
            pool.cancel();
    }
    pool.join();
    const bool cancelled = pool.cancelled() && failure.isEmpty() && saved < total;

    QString sideProblem;
    if (saved == total) {
        const std::vector<SideTrack> list = sideTrackList(tracks);
        std::optional<FileFailure> problem;
        if (const std::optional<std::string> cue = trackFilesCueSheet(choices.tags, list))
            problem = writeText(encoded(cuePath), *cue);
        if (!problem)
            problem = writeText(encoded(playlistPath), sidePlaylist(choices.tags, list));
        if (problem && problem->step != FileFailure::Step::SyncingFolder)
            sideProblem = QString::fromStdString(problem->reason());
    }
    if (sideProblem.isEmpty())
        removeMark(m_paths.savingMark());
    endSaving();

    const QString kept = QStringLiteral("%1 of %2 tracks were saved and kept; no partial file was left.").arg(saved).arg(total);
    if (cancelled) {
        warn(caption, QStringLiteral("Save Tracks was cancelled. ") + kept);
        return false;
    }
    if (!failure.isEmpty()) {
        warn(caption, failure + QStringLiteral("\n\n") + kept);
        return false;
    }
    if (!sideProblem.isEmpty()) {
        warn(caption, QStringLiteral("The tracks were saved, but the cue sheet and playlist could not be written (%1).")
                          .arg(sideProblem));
        return false;
    }
    m_display.showHealth(HealthDisplay{QStringLiteral(" Saved : %1 tracks").arg(total), false});
    if (!markProblem.isEmpty())
        warn(caption, QStringLiteral("The tracks were saved, but the mark of the save could not be written (%1): had "
                                     "Wavelark been interrupted, partial files could have been left in the archive folder.")
                          .arg(markProblem));
    return true;
}

}
