// The menu entries whose choices go beside the settings: a device chosen by name (its number in
// the Settings record, its name in choices.ini), and the "Record" and "Meter Scale" entries.

#include "app/main_window.h"

#include "app/main_menu.h"
#include "app/program_state.h"

#include "session/take_session.h"

#include "audio/device_naming.h"

#include <QMessageBox>

namespace wavelark {

namespace {

// The name a chosen device is found by at the next start; none for "Wave Mapper".
QString chosenName(int32_t device, const audio::DeviceList& devices)
{
    return device == kWaveMapper ? QString() : deviceName(device, devices);
}

}

bool MainWindow::chooseFromMenu(int commandId)
{
    if (!m_session || !m_menu)
        return false;
    RecorderChoices choices = m_session->choices();
    const std::optional<int32_t> recordDevice = MainMenu::recordDeviceOf(commandId);
    const std::optional<int32_t> playbackDevice = MainMenu::playbackDeviceOf(commandId);
    if (recordDevice)
        choices.recordDeviceName = chosenName(*recordDevice, m_menu->inputDevices());
    else if (playbackDevice)
        choices.playbackDeviceName = chosenName(*playbackDevice, m_menu->outputDevices());
    else if (!MainMenu::applyChoiceCommand(commandId, choices))
        return false;

    const QString problem = m_session->changeChoices(choices);
    if (!problem.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Settings"),
                             QStringLiteral("The choice could not be kept in %1 (%2).\n\nIt holds until Wavelark ends.")
                                 .arg(m_state.paths.folder + QLatin1String(kChoicesFileName), problem));
    // The menu checks a device beyond the third by its name (the record keeps the default's number).
    m_menu->updateChoiceMarks(choices);
    if (recordDevice) {
        storeDevice(m_state.settings.recordDevice, settingsDeviceNumber(*recordDevice));
    } else if (playbackDevice) {
        storeDevice(m_state.settings.playbackDevice, settingsDeviceNumber(*playbackDevice));
    } else {
        m_client->meters().setScale(choices.meterScale);
        m_client->update();
    }
    return true;
}

}
