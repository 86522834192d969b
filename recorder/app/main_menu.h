// Menu 106 of the main window: "File", "Take", "Settings" and "Help", each action carrying its
// command identifier, each title and entry its underlined letter (Alt+letter opens a menu), and the check marks of the device, latency and buffer entries. The device menus
// list the devices the sound system offers when the menu is built, by name; "Settings" also holds
// the unattended side's choices ("Record") and the meter scale, kept in choices.ini.
#pragma once

#include "core/recorder_choices.h"

#include "wave_device.h"

#include <QList>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace wavelark {

struct ProgramState;

class MainMenu : public QObject {
public:
    // Fills menuBar; every action triggers command(its identifier).
    MainMenu(QMenuBar* menuBar, std::function<void(int)> command, QObject* parent);

    // The action of a command; null when it has none (or it was removed).
    QAction* action(int commandId) const;
    // The top-level menus but "Take", disabled together while recording. "Take" stays: its
    // entries follow their buttons (followButtons), so "Record / Stop" and Ctrl+R stop the
    // recording while the others are off.
    void setTopLevelEnabled(bool enabled);
    // The "Take" entries (Record, Play, Save, Import: the buttons' own command identifiers, with
    // Ctrl+R, Space, Ctrl+S and Ctrl+I) are enabled as the buttons carrying the same identifier
    // are, from now on. The buttons must outlive the menu or be destroyed with the window.
    void followButtons(const QList<QWidget*>& buttons);
    // Removes "Mixer Record" and "Mixer Playback".
    void removeMixerEntries();
    // Checks the entries that match the pending latency and buffer count and the record's devices.
    void updateCheckMarks(const ProgramState& state);
    // Checks the entries of the choices kept in choices.ini, and keeps the devices' names for
    // updateCheckMarks: a device beyond the third is checked by its name.
    void updateChoiceMarks(const RecorderChoices& choices);

    // The devices listed, as the system offered them when the menu was built.
    const audio::DeviceList& inputDevices() const { return m_inputs; }
    const audio::DeviceList& outputDevices() const { return m_outputs; }

    // The device (kDefaultDevice for "Wave Mapper") of a record or playback device command; nothing
    // for another command. The command of a device.
    static std::optional<int32_t> recordDeviceOf(int commandId);
    static std::optional<int32_t> playbackDeviceOf(int commandId);
    static int recordDeviceCommand(int32_t device);
    static int playbackDeviceCommand(int32_t device);

    // Changes the choices as the "Record" or "Meter Scale" command says; false for another command.
    static bool applyChoiceCommand(int commandId, RecorderChoices& choices);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followButton(const QWidget* button);
    QAction* addCommand(QMenu* menu, const QString& text, int commandId, bool checkable);
    void addDevices(QMenu* menu, const audio::DeviceList& devices, int (*command)(int32_t));
    void addChoices(QMenu* settings);

    QMenuBar* m_menuBar;  // Owned by the window
    QMenu* m_settingsMenu = nullptr;  // Owned by the menu bar
    QMenu* m_takeMenu = nullptr;      // Owned by the menu bar
    QAction* m_mixerSeparator = nullptr;  // Owned by the settings menu
    std::function<void(int)> m_command;
    std::map<int, QAction*> m_actions;
    audio::DeviceList m_inputs;
    audio::DeviceList m_outputs;
    QString m_recordDeviceName;    // as choices.ini keeps them
    QString m_playbackDeviceName;
};

}
