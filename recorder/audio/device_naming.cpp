#include "audio/device_naming.h"

namespace wavelark {

namespace {

bool listed(int32_t device, const audio::DeviceList& devices)
{
    return device >= 0 && device < static_cast<int32_t>(devices.names.size());
}

}

QString deviceName(int32_t device, const audio::DeviceList& devices)
{
    const int32_t shown = device == kWaveMapper ? devices.defaultDevice : device;
    return listed(shown, devices) ? QString::fromStdString(devices.names[shown]) : QString();
}

QString deviceEntryText(int32_t device, const audio::DeviceList& devices)
{
    if (device == kWaveMapper)
        return QStringLiteral("Wave Mapper");
    const QString number = QString::number(device + 1);
    return listed(device, devices) ? number + QStringLiteral("  ") + deviceName(device, devices) : number;
}

QString defaultEntryText(const audio::DeviceList& devices)
{
    const QString name = deviceName(kWaveMapper, devices);
    return name.isEmpty() ? QStringLiteral("Wave Mapper") : QStringLiteral("Wave Mapper  (%1)").arg(name);
}

std::optional<int32_t> findDeviceByName(const QString& name, const audio::DeviceList& devices)
{
    const std::string wanted = name.toStdString();
    for (std::size_t index = 0; index < devices.names.size(); ++index) {
        if (devices.names[index] == wanted)
            return static_cast<int32_t>(index);
    }
    return std::nullopt;
}

int32_t settingsDeviceNumber(int32_t device)
{
    return device >= 0 && device <= 2 ? device : kWaveMapper;
}

std::string withoutCardNumber(const std::string& name)
{
    // ALSA's names end in " (hw:CARD,DEVICE)", and the card's number follows the order in which
    // the cards were found.
    const std::size_t open = name.rfind(" (hw:");
    return open != std::string::npos && name.back() == ')' ? name.substr(0, open) : name;
}

ResolvedDevice resolveDevice(int32_t storedDevice, const QString& storedName, const audio::DeviceList& devices)
{
    if (!storedName.isEmpty()) {
        const std::string wanted = storedName.toStdString();
        // Of two devices of one name (two interfaces of one make), the stored number tells which.
        if (listed(storedDevice, devices) && devices.names[storedDevice] == wanted)
            return {storedDevice, false};
        if (const std::optional<int32_t> found = findDeviceByName(storedName, devices))
            return {*found, false};
        // The same device on a card numbered differently (plugged in another order or socket).
        const std::string bare = withoutCardNumber(wanted);
        if (listed(storedDevice, devices) && withoutCardNumber(devices.names[storedDevice]) == bare)
            return {storedDevice, false};
        for (std::size_t index = 0; index < devices.names.size(); ++index) {
            if (withoutCardNumber(devices.names[index]) == bare)
                return {static_cast<int32_t>(index), false};
        }
        return {kWaveMapper, true};
    }
    if (storedDevice == kWaveMapper)
        return {};
    return listed(storedDevice, devices) ? ResolvedDevice{storedDevice, false} : ResolvedDevice{kWaveMapper, true};
}

}
