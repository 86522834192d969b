// The main window (dialog 101 with menu 106): the program's controls at the template's
// geometry, the command dispatch, the 30 ms timer and the painting of the waveform picture and
// the level meters. Every control is reached from the keyboard: Tab in a fixed order, the menus
// by Alt and their letters or F10, the "Take" entries' shortcuts (Space plays unless a button or
// checkbox has the focus, which Space then presses), F1 the guide; each has an accessible name.
// Window thread only.
#pragma once

#include "session/take_display.h"

#include "widgets/level_meter_panel.h"

#include <QImage>
#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QScrollBar;

namespace wavelark {

// The status line when Save is asked for with a take but no selection.
inline constexpr char kNothingSelectedText[] =
    " Nothing selected : drag across the waveform to select a part, or double-click it for the whole take";

class ArchiveList;
class FocusRing;
class LevelPeaks;
class MainMenu;
class TakeSession;
class WaveformView;
struct ProgramState;
struct Skin;

// The window's client area: the pattern background, the waveform view and the meters.
class ClientArea : public QWidget {
public:
    ClientArea(const Skin& skin, QWidget* parent);

    // The meters' peaks, owned by the take's session; null while it does not exist.
    void setLevels(const LevelPeaks* levels) { m_levels = levels; }

    // The view's finished picture, copied to the view rectangle on every paint.
    QImage& viewPicture() { return m_viewPicture; }
    void setViewRect(const QRect& rect);
    QRect viewRect() const { return m_viewRect; }
    // Called once, after the first complete paint of the area.
    void setFirstPaintHandler(std::function<void()> handler) { m_firstPaintHandler = std::move(handler); }
    // The meters' scale, peak hold and clip lamps.
    LevelMeterPanel& meters() { return m_meters; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    MeterLevels meterLevels() const;

    const Skin& m_skin;
    const LevelPeaks* m_levels = nullptr;
    LevelMeterPanel m_meters;
    QRect m_viewRect;
    QImage m_viewPicture;
    std::function<void()> m_firstPaintHandler;
};

// The window shows what the take's session reports (session/take_display.h) on its controls.
class MainWindow : public QMainWindow, public TakeDisplay {
public:
    // The pixel size of the client area: 531 x 268 dialog units.
    static const QSize kClientSize;

    // state and skin must outlive the window. Runs the window's initialisation.
    MainWindow(ProgramState& state, const Skin& skin);
    ~MainWindow() override;

    // Loads menu 106 into the window's menu bar.
    void attachMenu();
    MainMenu* menu() const { return m_menu; }
    ClientArea* clientArea() const { return m_client; }
    ArchiveList* archiveList() const { return m_archiveList; }
    // Recording, playback and the waveform view.
    TakeSession* session() const { return m_session.get(); }
    // The waveform view over the waveform frame, drawn by the session. Owned by the client area.
    WaveformView* waveformView() const { return m_view; }
    // The frame around the focused control for those that draw none. Owned by the client area.
    FocusRing* focusRing() const { return m_focusRing; }

    // Runs a button or menu command, as the window's command handler does.
    void command(int commandId);
    // Called when the window is closed (its close box, "Exit" or a signal); ends the event loop.
    void setClosedHandler(std::function<void()> handler) { m_closedHandler = std::move(handler); }
    // Sets the gains from the slider positions of the Settings record and writes both labels.
    void updateGains();
    // Timer ticks counted since the window started.
    uint64_t ticks() const { return m_ticks; }

    // TakeDisplay (app/main_display.cpp)
    void setStatusText(const QString& text) override;
    void setProgress(int percent) override;
    void showHealth(const HealthDisplay& display) override;
    void clearHealth() override;
    void setRecordButtonText(const QString& text) override;
    void setPlayButtonText(const QString& text) override;
    void warn(const QString& caption, const QString& text) override;
    void error(const QString& caption, const QString& text) override;
    bool ask(const QString& caption, const QString& text) override;
    void applyControlStates(const ControlStates& states) override;
    void refreshArchive() override;
    void closeWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    // The tab order, F10, Space on a focused button, the focus ring and the accessible names
    // (app/main_keyboard.cpp).
    void setUpKeyboard();
    // A control of the tab order: kViewFrame stands for the waveform view, kArchiveFrame for the list.
    QWidget* tabStop(int id) const;
    void initialise();
    void onTimer();
    void chooseArchiveFolder();
    void saveCommand();
    void importCommand();
    void storeDevice(int32_t& field, int32_t device);
    // The device, "Record" and "Meter Scale" entries (app/menu_choices.cpp); false for another command.
    bool chooseFromMenu(int commandId);
    void startMixer(const QStringList& arguments);
    // The scroll bar after a change of the view's zoom: its range and position, hidden while the
    // whole take is shown.
    void showZoom();

    ProgramState& m_state;
    const Skin& m_skin;
    ClientArea* m_client = nullptr;         // Owned by the window
    ArchiveList* m_archiveList = nullptr;   // Owned by the client area
    MainMenu* m_menu = nullptr;             // Owned by the window
    WaveformView* m_view = nullptr;         // Owned by the client area
    QScrollBar* m_scrollBar = nullptr;      // Owned by the client area
    QLabel* m_selectionTimes = nullptr;     // Owned by the client area
    FocusRing* m_focusRing = nullptr;       // Owned by the client area
    std::unique_ptr<TakeSession> m_session;
    QTimer m_timer;
    uint64_t m_ticks = 0;
    bool m_hasTake = false;
    bool m_closed = false;
    std::function<void()> m_closedHandler;
};

}
