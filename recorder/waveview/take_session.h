// The take's session in the main window: the recording engine, the player and the waveform view
// together, with the Record and Play commands, the stop processing of a new take (raw take
// maximise, peak cache rebuild, duration) and the enable states that go with them. The main
// window owns one, creates it in its initialisation and closes it when the window closes.
// Window thread only.
#pragma once

#include "capture_engine.h"
#include "take_player.h"
#include "waveform_view.h"

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <memory>

class QMainWindow;
class QWidget;

namespace wavelark {

struct ShellState;
struct Skin;

inline constexpr char kRecordCaption[] = "RECORD";
inline constexpr char kConfirmRecordText[] = "Confirm Record?";
inline constexpr char kRenderingText[] = "Rendering Waveform ... Please Wait ...";

class TakeSession : public WaveformHost {
public:
    // window holds the controls by identifier (the waveform frame 1030 among them); state, skin
    // and window must outlive the session.
    TakeSession(ShellState& state, QMainWindow& window, const Skin& skin);
    ~TakeSession() override;

    // Creates the view over the waveform frame, draws the take from the peak cache (or rebuilds
    // it) with the stored selection, then starts capture, waits 50 ms and opens the player. No
    // input device: the "ERROR" message, and the window is closed.
    void initialise();
    // Stops capture (a recording running is finished and kept as any take) and the player. Call
    // when the window closes; idempotent.
    void close();

    void recordCommand();
    void playCommand();
    // The window's 30 ms timer, after its own work; tick counts from 0.
    void timerTick(uint64_t tick);

    bool hasTake() const { return m_hasTake; }
    bool takeInProgress() const { return m_takeInProgress; }
    WaveformView* view() const { return m_view; }
    CaptureEngine& engine() { return *m_engine; }
    TakePlayer& player() { return *m_player; }

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

private:
    void finishRecording(const QString& faultMessage);
    void prepareTake();
    void rebuildWaveform();
    void showDuration();
    void setEnabled(bool enabled, std::initializer_list<int> controls);
    void setArchiveAndMenusEnabled(bool enabled, bool menus);
    void setButtonText(int control, const QString& text);
    void setProgress(int percent);
    uint32_t measureTake() const;
    QString cachePath() const;

    ShellState& m_state;
    QMainWindow& m_window;
    const Skin& m_skin;
    std::unique_ptr<CaptureEngine> m_engine;
    std::unique_ptr<TakePlayer> m_player;
    WaveformView* m_view = nullptr;  // Owned by the window's client area
    uint32_t m_takeLength = 0;
    bool m_hasTake = false;
    bool m_takeInProgress = false;   // from Record to the end of the stop processing
    bool m_preparing = false;        // maximise and rebuild of a new take
    bool m_tail = false;
    bool m_closed = false;
    int64_t m_shownSeconds = -1;
};

}
