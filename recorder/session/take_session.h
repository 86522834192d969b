// The take's session in the main window: the recording engine, the player, the monitor FIFO and
// the waveform picture together, with the Record and Play commands, the stop processing of a new
// take (raw take maximise, peak cache rebuild, duration) and the enable states that go with
// them. A recording interrupted before its stop processing finished (the program killed, a power
// loss) is found at the next initialise by the mark it left, and finished then
// (session/recovery_plan.h). The session touches no widget: it shows everything through a
// TakeDisplay and draws on a WaveformPicture. The main window owns one, creates it in its
// initialisation and closes it when the window closes. Window thread only; the engines' workers
// reach it only through posted calls.
#pragma once

#include "session/control_states.h"
#include "session/recording_health.h"
#include "session/take_display.h"
#include "session/work_marks.h"

#include "audio/capture_engine.h"
#include "audio/monitor_fifo.h"
#include "audio/take_player.h"

#include "take/save_pass.h"
#include "take/zoomed_peaks.h"

#include "tracks/track_batch.h"
#include "tracks/track_markers.h"

#include "core/data_folders.h"
#include "core/recorder_choices.h"
#include "core/settings.h"

#include "widgets/waveform_picture.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace wavelark {

struct RecoveryPlan;

inline constexpr char kRecordCaption[] = "RECORD";
inline constexpr char kConfirmRecordText[] = "Confirm Record?";
inline constexpr char kRenderingText[] = "Rendering Waveform ... Please Wait ...";
inline constexpr char kPlayCaption[] = "PLAY";
inline constexpr char kSaveCaption[] = "SAVE AUDIO";
inline constexpr char kImportCaption[] = "IMPORT";
inline constexpr char kConfirmImportCaption[] = "Confirm Import";
inline constexpr char kConfirmImportText[] = "Importing will overwrite current Recording.\n\nContinue?";
inline constexpr char kFindTracksCaption[] = "FIND TRACKS";
inline constexpr char kWaitingForSoundText[] = " Waiting for sound ...";
inline constexpr char kSaveTracksCaption[] = "SAVE TRACKS";

class TakeSession : public WaveformHost {
public:
    // settings is the program's record: the session reads the devices, buffers and switches from
    // it and writes the selection into it. settings, paths and display must outlive the session.
    // The choices beside the settings (choices.ini in the data folder) are read here. A device
    // kept there by name is found by it, whatever number the system gives it now (the record then
    // takes that number); a stored device that the system does not have (unplugged, or a damaged
    // settings file) is replaced by the default device for this run; the record keeps it.
    TakeSession(Settings& settings, const DataPaths& paths, TakeDisplay& display);
    ~TakeSession() override;

    // The picture the take is drawn on (the window's waveform view, whose host is this session).
    // Set once, before initialise; it must outlive the session's use of it (up to close()).
    void setPicture(WaveformPicture& picture) { m_view = &picture; }

    // Finishes or clears what an interrupted recording, import or save left, draws the take from
    // the peak cache (or rebuilds it) with the stored selection, then starts capture, waits 50 ms
    // and opens the player. No input device: the "ERROR" message, and the window is closed. A
    // record or playback device that cannot be opened is reported, as is a stored record device
    // replaced by the default one; the rest of the program works without it.
    void initialise();
    // Stops capture (a recording running is finished and kept as any take) and the player. Call
    // when the window closes; idempotent.
    void close();

    // Record starts a take (with "Start on sound" it waits for sound, the status line saying
    // so); while a take runs or waits, it stops it. The unattended choices stop it the same way.
    void recordCommand();
    void playCommand();
    // The window's 30 ms timer, after its own work; tick counts from 0. Starts the monitor FIFO
    // over every 5,000th tick (the first included) so that a stalled player never lets it fill.
    void timerTick(uint64_t tick);

    // The sliders' gains, 0.0..1.0, and "Monitor - Thru".
    void setGains(double recordGain, double playGain);
    void setMonitorThru(bool on);
    bool monitorThru() const { return m_monitor.thru(); }
    void setRecordEnabled(bool enabled);
    void setPlayEnabled(bool enabled);

    // The Save button: the selection as a range of the take, whole frames, from the smaller edge
    // to the larger (the view's exact frames when it knows them, else its columns'); nothing
    // when there is no selection or no take.
    std::optional<SaveRange> selectedRange() const;
    // Saves the range of the take into the archive folder with the save dialog's choices (name,
    // format, quality, fades and maximise), then refreshes the archive list. The controls rest
    // meanwhile and the window repaints. Afterwards the status line shows the take and its
    // selection again and the idle progress bar " Saved : " and the file's name. A save that
    // fails says what failed and that no file was left; true when the file was written and read
    // back.
    bool save(SaveRange range, const SaveChoices& choices);
    // Imports the file at path in place of the take after "Confirm Import": the old take, its
    // waveform and selection stay until the new take is complete. Then maximises and draws the
    // new take; the controls, the level sliders too, rest until it is drawn. The take mark says
    // "import" from the start and "replaced" from just before the new take is renamed over the
    // old one, so that a start after a kill knows which take it finds. A refused or failed import
    // says so. True when the take was replaced.
    bool import(const QString& path);

    // "File" > "Find Tracks", while idle with a take: the break finder's proposal over the whole
    // take (every convincing gap) becomes the take's track markers, a track start at each track's
    // start and the end at the last track's end. They are drawn, kept beside the take (the file
    // names the take by its length; session/take_session_tracks.cpp) and the status line says
    // " Tracks : " and their number. A take that cannot be read changes nothing and says why; markers
    // that cannot be kept are still drawn, with a warning. True when the markers were replaced.
    bool findTracks();
    const TrackMarkers& trackMarkers() const { return m_markers; }
    // "File" > "Save Tracks", while idle with markers: every track into the archive folder as
    // "NN Title.ext" with its tags, encoded on every core, each read back as a single save is,
    // then the side's cue sheet and playlist (session/take_session_batch.cpp). Files that exist
    // are replaced only after one question for the whole batch. cancelRequested is asked while
    // the tracks are saved: true stops the batch, which keeps the tracks already in place and
    // leaves no partial file. A crash is cleared at the next start, which names the files not
    // written. True when every file was written.
    bool saveTracks(const TrackBatchChoices& choices, const std::function<bool()>& cancelRequested);

    bool hasTake() const { return m_hasTake; }
    bool takeInProgress() const { return m_takeInProgress; }
    SessionPhase phase() const { return m_phase; }
    WaveformPicture* view() const { return m_view; }
    CaptureEngine& engine() { return *m_engine; }
    TakePlayer& player() { return *m_player; }
    const LevelPeaks& levels() const { return m_engine->levels(); }
    LevelPeaks& levels() { return m_engine->levels(); }

    // WaveformHost
    bool selectionAllowed() const override;
    bool recording() const override;
    double recordingSeconds() const override;
    bool playing() const override;
    double playCursor() const override;
    void setPlayCursor(double column) override;
    void stopPlaying() override;
    void playSelection(bool tail) override;
    uint32_t takeLength() const override { return m_takeLength; }
    void setStatusText(const QString& text) override;
    void selectionDrawn(uint32_t firstEdge, uint32_t secondEdge) override;
    // The view's zoom and marker edits (session/take_session_view.cpp). An edited marker is
    // drawn and kept beside the take at once; markers that cannot be kept say so.
    bool zoomedColumns(uint64_t firstFrame, double framesPerPixel, int width, std::vector<Column>& columns) override;
    bool moveTrackMarker(std::size_t index, uint64_t frame) override;
    bool addTrackMarker(uint64_t frame) override;
    bool removeTrackMarker(std::size_t index) override;
    void playFromFrame(uint64_t frame) override;

    // The free space of the data folder's file system, asked once a second while recording;
    // nothing when it cannot be told. Replaceable for tests.
    using FreeSpaceQuery = std::function<std::optional<uint64_t>()>;
    void setFreeSpaceQuery(FreeSpaceQuery query) { m_freeSpace = std::move(query); }

    // The choices kept in choices.ini. changeChoices keeps them and writes the file whole; the
    // unattended ones apply from the next Record, the devices from the next start. Empty on
    // success, else why the file could not be written (the choices still hold for this run).
    const RecorderChoices& choices() const { return m_choices; }
    QString changeChoices(const RecorderChoices& choices);

    // The messages of initialise (a recovered take, a device that could not be opened) wait
    // until the window is on the screen: the start-up shows them once it has shown the window.
    void showStartupMessages();

private:
    void finishRecording();
    // The devices the engines open, from the record and the choices (session/take_session_choices.cpp).
    DeviceChoice resolveRecordDevice();
    DeviceChoice resolvePlaybackDevice();
    // A stored record (playback) device found missing, said once the default one has started.
    void reportMissingDevice(bool record);
    // The unattended rules' stop, run as the Stop button runs it.
    void unattendedStop();
    // The take's health in the idle progress bar (see session/recording_health.h).
    void updateRecordingHealth();
    // Carries out the start-up's recovery plan up to the drawing of the take; false when a
    // removal the plan needs failed (the take mark then stays).
    bool applyRecovery(const RecoveryPlan& plan);
    // After the start-up finish of an interrupted recording or import: says what was kept and
    // removes the take mark (only when markRemovable).
    void reportRecoveredTake(const RecoveryPlan& plan, bool markRemovable);
    // After the start-up clearing of an interrupted save: says that the file was not saved.
    void reportInterruptedSave(const InterruptedSave& save);
    void startDevices();
    void prepareTake(const QString& caption);
    // Draws the waveform afresh and writes the peak cache; false when the cache could not be
    // written (the stale one is then removed, so the next start draws from the take).
    bool rebuildWaveform();
    void showDuration();
    void enterPhase(SessionPhase phase);
    // The end of a save or a batch of them: the archive list refreshed, the progress bar cleared,
    // the take and its selection back on the status line, idle again.
    void endSaving();
    void warn(const QString& caption, const QString& text);
    uint32_t measureTake() const;
    // The take's markers: read from their file at start-up (a refused file is removed, a missing
    // one is no markers), cleared with their file for a new take, and handed to the view.
    void loadTrackMarkers();
    void clearTrackMarkers();
    void showTrackMarkers();
    // Writes the markers beside the take; a failure is told under caption.
    void keepTrackMarkers(const QString& caption);
    // Starts the player over the view's selection (exact frames when known); from frame when set.
    bool startPlayer(std::optional<uint64_t> fromFrame);

    Settings& m_settings;
    const DataPaths& m_paths;
    TakeDisplay& m_display;
    MonitorFifo m_monitor;
    std::unique_ptr<CaptureEngine> m_engine;
    std::unique_ptr<TakePlayer> m_player;
    WaveformPicture* m_view = nullptr;  // The window's waveform view
    RecorderChoices m_choices;
    QString m_missingRecordDevice;      // a stored record device the system does not have: its entry
    QString m_missingPlaybackDevice;    // the same for playback
    QString m_recordSource;             // the record device's name and rate, for the health bar
    SessionPhase m_phase = SessionPhase::Idle;
    uint32_t m_takeLength = 0;
    bool m_hasTake = false;
    bool m_takeInProgress = false;   // from Record to the end of the stop processing
    bool m_tail = false;
    bool m_closed = false;
    bool m_initialising = false;  // warn() keeps its messages for showStartupMessages
    std::vector<std::pair<QString, QString>> m_startupMessages;  // caption, text
    int64_t m_shownSeconds = -1;
    FreeSpaceQuery m_freeSpace;
    QString m_playbackProblem;       // why the player could not be opened, empty when it is
    TrackMarkers m_markers;
    ZoomedPeaks m_zoomedPeaks;
    std::optional<uint64_t> m_playFrom;  // playFromFrame's frame, for the play it starts
};

}
