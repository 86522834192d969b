// Building menu 106 and keeping its check marks.

#include "app/main_menu.h"

#include "core/identifiers.h"
#include "core/settings.h"
#include "app/program_state.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace wavelark {

namespace {

inline constexpr char kCommandIdProperty[] = "commandId";

const char* const kDeviceNames[] = {"Wave Mapper", "1", "2", "3"};
const char* const kLatencyNames[] = {"Realtime", "Very Fast", "Fast", "Medium", "Slow", "Very Slow"};
const char* const kBufferNames[] = {"2", "4", "8", "16"};

}

MainMenu::MainMenu(QMenuBar* menuBar, std::function<void(int)> command, QObject* parent)
    : QObject(parent)
    , m_menuBar(menuBar)
    , m_command(std::move(command))
{
    QMenu* file = menuBar->addMenu(QStringLiteral("File"));
    addCommand(file, QStringLiteral("Exit"), ids::kExit, false);
    addCommand(file, QStringLiteral("Find Tracks"), ids::kFindTracks, false);
    addCommand(file, QStringLiteral("Save Tracks..."), ids::kSaveTracks, false);

    QMenu* settings = menuBar->addMenu(QStringLiteral("Settings"));
    QMenu* recordDevice = settings->addMenu(QStringLiteral("Record Device"));
    QMenu* playbackDevice = settings->addMenu(QStringLiteral("Playback Device"));
    for (int index = 0; index < 4; ++index) {
        addCommand(recordDevice, QString::fromLatin1(kDeviceNames[index]), ids::kRecordDeviceFirst + index, true);
        addCommand(playbackDevice, QString::fromLatin1(kDeviceNames[index]), ids::kPlaybackDeviceFirst + index, true);
    }
    QMenu* latency = settings->addMenu(QStringLiteral("Latency"));
    for (int index = 0; index < 6; ++index)
        addCommand(latency, QString::fromLatin1(kLatencyNames[index]), ids::kLatencyFirst + index, true);
    QMenu* buffers = settings->addMenu(QStringLiteral("Buffers"));
    for (int index = 0; index < 4; ++index)
        addCommand(buffers, QString::fromLatin1(kBufferNames[index]), ids::kBuffersFirst + index, true);
    m_settingsMenu = settings;
    m_mixerSeparator = settings->addSeparator();
    addCommand(settings, QStringLiteral("Mixer Record"), ids::kMixerRecord, false);
    addCommand(settings, QStringLiteral("Mixer Playback"), ids::kMixerPlayback, false);

    QMenu* help = menuBar->addMenu(QStringLiteral("Help"));
    addCommand(help, QStringLiteral("Online Guide"), ids::kOnlineGuide, false);
    addCommand(help, QStringLiteral("Contact Us"), ids::kContactUs, false);
    help->addSeparator();
    addCommand(help, QStringLiteral("About"), ids::kAbout, false);
}

QAction* MainMenu::addCommand(QMenu* menu, const QString& text, int commandId, bool checkable)
{
    QAction* action = menu->addAction(text);
    action->setProperty(kCommandIdProperty, commandId);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, commandId] { m_command(commandId); });
    m_actions[commandId] = action;
    return action;
}

QAction* MainMenu::action(int commandId) const
{
    const auto found = m_actions.find(commandId);
    return found == m_actions.end() ? nullptr : found->second;
}

void MainMenu::setTopLevelEnabled(bool enabled)
{
    for (QAction* menu : m_menuBar->actions())
        menu->setEnabled(enabled);
}

void MainMenu::removeMixerEntries()
{
    for (int commandId : {ids::kMixerRecord, ids::kMixerPlayback}) {
        QAction* entry = action(commandId);
        if (!entry)
            continue;
        m_actions.erase(commandId);
        m_settingsMenu->removeAction(entry);
        delete entry;
    }
    // Without the mixer entries the separator above them would end the menu.
    if (m_mixerSeparator) {
        m_settingsMenu->removeAction(m_mixerSeparator);
        delete m_mixerSeparator;
        m_mixerSeparator = nullptr;
    }
}

void MainMenu::updateCheckMarks(const ProgramState& state)
{
    for (int index = 0; index < 6; ++index)
        action(ids::kLatencyFirst + index)->setChecked(state.pendingLatency == kBufferSizes[index]);
    for (int index = 0; index < 4; ++index)
        action(ids::kBuffersFirst + index)->setChecked(state.pendingBufferCount == kBufferCounts[index]);
    // A device id outside -1..2 leaves its group as it is.
    const auto checkDevice = [this](int firstCommand, int32_t device) {
        if (device < -1 || device > 2)
            return;
        for (int index = 0; index < 4; ++index)
            action(firstCommand + index)->setChecked(index == device + 1);
    };
    checkDevice(ids::kRecordDeviceFirst, state.settings.recordDevice);
    checkDevice(ids::kPlaybackDeviceFirst, state.settings.playbackDevice);
}

}
