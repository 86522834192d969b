// The take's session and the choices beside the settings: the devices found by name at start-up,
// a device that is gone reported, the choices kept, and the unattended stop.

#include "session/take_session.h"

#include "audio/device_naming.h"

#include "core/take_format.h"

#include "wave_device.h"

namespace wavelark {

namespace {

// "3 (USB Audio CODEC)": the entry the user chose, as its messages name it; the name alone for a
// device beyond the third, whose number the record does not keep.
QString chosenEntry(int32_t device, const QString& name)
{
    const QString number = QString::number(device + 1);
    if (device == kWaveMapper)
        return name;
    return name.isEmpty() ? number : QStringLiteral("%1 (%2)").arg(number, name);
}

}

DeviceChoice TakeSession::resolveRecordDevice()
{
    const audio::DeviceList inputs = audio::inputDevices();
    const ResolvedDevice resolved = resolveDevice(m_settings.recordDevice, m_choices.recordDeviceName, inputs);
    if (resolved.missing)
        m_missingRecordDevice = chosenEntry(m_settings.recordDevice, m_choices.recordDeviceName);
    else if (resolved.device != kWaveMapper)
        // Found by its name: the record keeps the number it has now.
        m_settings.recordDevice = settingsDeviceNumber(resolved.device);
    m_recordSource = recordingSourceText(deviceName(resolved.device, inputs), kTakeSampleRate);
    return {resolved.device, m_settings.bufferSize, m_settings.bufferCount};
}

DeviceChoice TakeSession::resolvePlaybackDevice()
{
    // Without a name the stored number is opened as it stands (a failure is reported when the
    // player opens); only a name needs the system's list.
    if (m_choices.playbackDeviceName.isEmpty())
        return {m_settings.playbackDevice, m_settings.bufferSize, m_settings.bufferCount};
    const ResolvedDevice resolved =
        resolveDevice(m_settings.playbackDevice, m_choices.playbackDeviceName, audio::outputDevices());
    if (resolved.missing)
        m_missingPlaybackDevice = chosenEntry(m_settings.playbackDevice, m_choices.playbackDeviceName);
    else
        m_settings.playbackDevice = settingsDeviceNumber(resolved.device);
    return {resolved.device, m_settings.bufferSize, m_settings.bufferCount};
}

void TakeSession::reportMissingDevice(bool record)
{
    if (record && !m_missingRecordDevice.isEmpty())
        warn(QString::fromLatin1(kRecordCaption),
             QStringLiteral("The record device %1 chosen under Settings > Record Device is not attached, so "
                            "Wavelark records from the default device (Wave Mapper) instead.\n\n"
                            "Choose another one under Settings > Record Device to change this.")
                 .arg(m_missingRecordDevice));
    if (!record && !m_missingPlaybackDevice.isEmpty())
        warn(QString::fromLatin1(kPlayCaption),
             QStringLiteral("The playback device %1 chosen under Settings > Playback Device is not attached, so "
                            "Wavelark plays through the default device (Wave Mapper) instead.\n\n"
                            "Choose another one under Settings > Playback Device to change this.")
                 .arg(m_missingPlaybackDevice));
}

QString TakeSession::changeChoices(const RecorderChoices& choices)
{
    m_choices = choices;
    return writeRecorderChoices(m_paths.folder + QLatin1String(kChoicesFileName), m_choices);
}

void TakeSession::unattendedStop()
{
    // Posted by the capture worker: the take may have been stopped by hand meanwhile.
    if (m_takeInProgress && m_phase == SessionPhase::Recording)
        recordCommand();
}

}
