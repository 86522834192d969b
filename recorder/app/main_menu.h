// Menu 106 of the main window: "File", "Settings" and "Help", each action carrying its command
// identifier, and the check marks of the device, latency and buffer entries.
#pragma once

#include <QObject>

#include <functional>
#include <map>

class QAction;
class QMenu;
class QMenuBar;

namespace wavelark {

struct ProgramState;

class MainMenu : public QObject {
public:
    // Fills menuBar; every action triggers command(its identifier).
    MainMenu(QMenuBar* menuBar, std::function<void(int)> command, QObject* parent);

    // The action of a command; null when it has none (or it was removed).
    QAction* action(int commandId) const;
    // The three top-level menus, disabled together while recording.
    void setTopLevelEnabled(bool enabled);
    // Removes "Mixer Record" and "Mixer Playback".
    void removeMixerEntries();
    // Checks the entries that match the pending latency and buffer count and the record's devices.
    void updateCheckMarks(const ProgramState& state);

private:
    QAction* addCommand(QMenu* menu, const QString& text, int commandId, bool checkable);

    QMenuBar* m_menuBar;  // Owned by the window
    QMenu* m_settingsMenu = nullptr;  // Owned by the menu bar
    QAction* m_mixerSeparator = nullptr;  // Owned by the settings menu
    std::function<void(int)> m_command;
    std::map<int, QAction*> m_actions;
};

}
