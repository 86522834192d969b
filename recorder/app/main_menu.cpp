// Building menu 106 and keeping its check marks.

#include "app/main_menu.h"

#include "core/identifiers.h"
#include "core/settings.h"
#include "app/program_state.h"

#include "audio/device_naming.h"

#include "sorvak_widgets.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <iterator>
#include <utility>

namespace wavelark {

namespace {

inline constexpr char kCommandIdProperty[] = "commandId";

// The letter after '&' is underlined and chooses the entry from the keyboard; it is not shown.
const char* const kLatencyNames[] = {"&Realtime", "&Very Fast", "&Fast", "&Medium", "&Slow", "V&ery Slow"};
const char* const kBufferNames[] = {"&2", "&4", "&8", "1&6"};

// "Settings" > "Record" > "Silence at the end of the side" and "Stop after".
constexpr int kSideEndSilences[] = {10, 20, 30, 40, 50, 60};  // seconds
constexpr int kStopAfterMinutes[] = {0, 15, 30, 45, 60, 90, 120};
const char* const kStopAfterNames[] = {"&Off", "1&5 minutes", "&30 minutes", "&45 minutes", "&1 hour",
                                       "1 hour 3&0 minutes", "&2 hours"};

// The device of a command in a device group: "Wave Mapper" and "1".."3" from first, the rest from
// more; nothing for another command.
std::optional<int32_t> deviceOf(int commandId, int first, int more)
{
    if (commandId >= first && commandId < first + 4)
        return commandId - first - 1;
    if (commandId >= more && commandId < more + ids::kMoreDevices)
        return commandId - more + 3;
    return std::nullopt;
}

int deviceCommand(int32_t device, int first, int more)
{
    return device < 3 ? first + device + 1 : more + device - 3;
}


}

MainMenu::MainMenu(QMenuBar* menuBar, std::function<void(int)> command, QObject* parent)
    : QObject(parent)
    , m_menuBar(menuBar)
    , m_command(std::move(command))
{
    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("E&xit"), ids::kExit, false);
    addCommand(file, QStringLiteral("&Find Tracks"), ids::kFindTracks, false);
    addCommand(file, QStringLiteral("&Save Tracks..."), ids::kSaveTracks, false);

    // The large buttons' commands, with their shortcuts; followButtons keeps them enabled as the
    // buttons are.
    QMenu* take = menuBar->addMenu(QStringLiteral("&Take"));
    m_takeMenu = take;
    addCommand(take, QStringLiteral("&Record / Stop"), ids::kRecordButton, false)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    addCommand(take, QStringLiteral("&Play / Stop"), ids::kPlayButton, false)->setShortcut(QKeySequence(Qt::Key_Space));
    addCommand(take, QStringLiteral("&Save..."), ids::kSaveButton, false)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(take, QStringLiteral("&Import..."), ids::kImportButton, false)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));

    QMenu* settings = menuBar->addMenu(QStringLiteral("&Settings"));
    audio::SoundDevices devices = audio::soundDevices();
    m_inputs = std::move(devices.inputs);
    m_outputs = std::move(devices.outputs);
    addDevices(settings->addMenu(QStringLiteral("Record &Device")), m_inputs, recordDeviceCommand);
    addDevices(settings->addMenu(QStringLiteral("&Playback Device")), m_outputs, playbackDeviceCommand);
    QMenu* latency = settings->addMenu(QStringLiteral("&Latency"));
    for (int index = 0; index < 6; ++index)
        addCommand(latency, QString::fromLatin1(kLatencyNames[index]), ids::kLatencyFirst + index, true);
    QMenu* buffers = settings->addMenu(QStringLiteral("&Buffers"));
    for (int index = 0; index < 4; ++index)
        addCommand(buffers, QString::fromLatin1(kBufferNames[index]), ids::kBuffersFirst + index, true);
    addChoices(settings);
    m_settingsMenu = settings;
    m_mixerSeparator = settings->addSeparator();
    addCommand(settings, QStringLiteral("Mixer Re&cord"), ids::kMixerRecord, false);
    addCommand(settings, QStringLiteral("Mixer Pla&yback"), ids::kMixerPlayback, false);

    QMenu* help = menuBar->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("&Online Guide"), ids::kOnlineGuide, false)->setShortcut(QKeySequence(Qt::Key_F1));
    addCommand(help, QStringLiteral("&Contact Us"), ids::kContactUs, false);
    help->addSeparator();
    addCommand(help, QStringLiteral("&About"), ids::kAbout, false);
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

void MainMenu::addDevices(QMenu* menu, const audio::DeviceList& devices, int (*command)(int32_t))
{
    // A device's name is shown as the system spells it: an '&' in it ("Speakers & Headphones")
    // must not become a mnemonic.
    const auto shown = [](QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); };
    addCommand(menu, shown(defaultEntryText(devices)), command(kWaveMapper), true);
    const int count = std::min<int>(static_cast<int>(devices.names.size()), 3 + ids::kMoreDevices);
    for (int32_t device = 0; device < count; ++device)
        addCommand(menu, shown(deviceEntryText(device, devices)), command(device), true);
}

void MainMenu::addChoices(QMenu* settings)
{
    QMenu* record = settings->addMenu(QStringLiteral("&Record"));
    addCommand(record, QStringLiteral("Start on &sound"), ids::kStartOnSound, true);
    addCommand(record, QStringLiteral("Stop at the &end of the side"), ids::kStopAtSideEnd, true);
    QMenu* silence = record->addMenu(QStringLiteral("Si&lence at the end of the side"));
    for (int index = 0; index < static_cast<int>(std::size(kSideEndSilences)); ++index)
        addCommand(silence, QStringLiteral("&%1 s").arg(kSideEndSilences[index]), ids::kSideEndSilenceFirst + index, true);
    QMenu* stopAfter = record->addMenu(QStringLiteral("Stop &after"));
    for (int index = 0; index < static_cast<int>(std::size(kStopAfterMinutes)); ++index)
        addCommand(stopAfter, QString::fromLatin1(kStopAfterNames[index]), ids::kStopAfterFirst + index, true);
    QMenu* meters = settings->addMenu(QStringLiteral("&Meter Scale"));
    addCommand(meters, QStringLiteral("&Linear"), ids::kMeterScaleLinear, true);
    addCommand(meters, QStringLiteral("&dBFS (-60 to 0 dB)"), ids::kMeterScaleDecibels, true);
}

std::optional<int32_t> MainMenu::recordDeviceOf(int commandId)
{
    return deviceOf(commandId, ids::kRecordDeviceFirst, ids::kRecordDeviceMore);
}

std::optional<int32_t> MainMenu::playbackDeviceOf(int commandId)
{
    return deviceOf(commandId, ids::kPlaybackDeviceFirst, ids::kPlaybackDeviceMore);
}

int MainMenu::recordDeviceCommand(int32_t device)
{
    return deviceCommand(device, ids::kRecordDeviceFirst, ids::kRecordDeviceMore);
}

int MainMenu::playbackDeviceCommand(int32_t device)
{
    return deviceCommand(device, ids::kPlaybackDeviceFirst, ids::kPlaybackDeviceMore);
}

bool MainMenu::applyChoiceCommand(int commandId, RecorderChoices& choices)
{
    if (commandId == ids::kStartOnSound) {
        choices.startOnSound = !choices.startOnSound;
        return true;
    }
    if (commandId == ids::kStopAtSideEnd) {
        choices.stopAtSideEnd = !choices.stopAtSideEnd;
        return true;
    }
    if (commandId >= ids::kSideEndSilenceFirst
        && commandId < ids::kSideEndSilenceFirst + static_cast<int>(std::size(kSideEndSilences))) {
        choices.sideEndSilenceSeconds = kSideEndSilences[commandId - ids::kSideEndSilenceFirst];
        return true;
    }
    if (commandId >= ids::kStopAfterFirst
        && commandId < ids::kStopAfterFirst + static_cast<int>(std::size(kStopAfterMinutes))) {
        choices.stopAfterMinutes = kStopAfterMinutes[commandId - ids::kStopAfterFirst];
        return true;
    }
    if (commandId == ids::kMeterScaleLinear || commandId == ids::kMeterScaleDecibels) {
        choices.meterScale = commandId == ids::kMeterScaleLinear ? MeterScale::Linear : MeterScale::Decibels;
        return true;
    }
    return false;
}

void MainMenu::updateChoiceMarks(const RecorderChoices& choices)
{
    m_recordDeviceName = choices.recordDeviceName;
    m_playbackDeviceName = choices.playbackDeviceName;
    action(ids::kStartOnSound)->setChecked(choices.startOnSound);
    action(ids::kStopAtSideEnd)->setChecked(choices.stopAtSideEnd);
    for (int index = 0; index < static_cast<int>(std::size(kSideEndSilences)); ++index)
        action(ids::kSideEndSilenceFirst + index)->setChecked(choices.sideEndSilenceSeconds == kSideEndSilences[index]);
    for (int index = 0; index < static_cast<int>(std::size(kStopAfterMinutes)); ++index)
        action(ids::kStopAfterFirst + index)->setChecked(choices.stopAfterMinutes == kStopAfterMinutes[index]);
    action(ids::kMeterScaleLinear)->setChecked(choices.meterScale == MeterScale::Linear);
    action(ids::kMeterScaleDecibels)->setChecked(choices.meterScale == MeterScale::Decibels);
}

QAction* MainMenu::action(int commandId) const
{
    const auto found = m_actions.find(commandId);
    return found == m_actions.end() ? nullptr : found->second;
}

void MainMenu::followButtons(const QList<QWidget*>& buttons)
{
    for (QWidget* button : buttons) {
        button->installEventFilter(this);
        followButton(button);
    }
}

void MainMenu::followButton(const QWidget* button)
{
    if (QAction* entry = action(sorvak::controlId(button)))
        entry->setEnabled(button->isEnabled());
}

bool MainMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && watched->isWidgetType())
        followButton(static_cast<QWidget*>(watched));
    return QObject::eventFilter(watched, event);
}

void MainMenu::setTopLevelEnabled(bool enabled)
{
    for (QAction* menu : m_menuBar->actions()) {
        // A disabled menu would silence its entries' shortcuts, Ctrl+R's Stop among them.
        if (menu->menu() != m_takeMenu)
            menu->setEnabled(enabled);
    }
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
    // A device the menu does not list leaves its group unchecked. The record holds the default's
    // number for a device beyond the third, which its name then finds.
    const auto checkDevice = [this](const audio::DeviceList& devices, int (*command)(int32_t), int32_t device,
                                    const QString& name) {
        if (device == kWaveMapper && !name.isEmpty())
            device = resolveDevice(device, name, devices).device;
        for (int32_t listed = kWaveMapper; listed < static_cast<int32_t>(devices.names.size()); ++listed) {
            if (QAction* entry = action(command(listed)))
                entry->setChecked(listed == device);
        }
    };
    checkDevice(m_inputs, recordDeviceCommand, state.settings.recordDevice, m_recordDeviceName);
    checkDevice(m_outputs, playbackDeviceCommand, state.settings.playbackDevice, m_playbackDeviceName);
}

}
