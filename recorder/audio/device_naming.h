// The recorder's devices as the user meets them: the device menus' entries ("Wave Mapper",
// "1  USB Audio CODEC", ...), and a device chosen by name found again when the sound system
// numbers its devices differently (a USB device plugged into another port, another boot).
// Pure functions of the lists the sound layer gives (platform/audio/wave_device.h).
#pragma once

#include "wave_device.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace wavelark {

// The device id that the menus call "Wave Mapper".
inline constexpr int32_t kWaveMapper = audio::kDefaultDevice;

// "Wave Mapper" for the default device, else the device's number from 1 and its name
// ("3  USB Audio CODEC"), or the number alone when the list does not reach it.
QString deviceEntryText(int32_t device, const audio::DeviceList& devices);

// "Wave Mapper  (USB Audio CODEC)": the default entry with the device it opens now; "Wave Mapper"
// alone when the system does not say.
QString defaultEntryText(const audio::DeviceList& devices);

// The device's name as the sound system gives it: the default device's for kWaveMapper; empty
// when the list does not reach it.
QString deviceName(int32_t device, const audio::DeviceList& devices);

// The first device with the name; nothing when there is none.
std::optional<int32_t> findDeviceByName(const QString& name, const audio::DeviceList& devices);

// The number the Settings record keeps for a device: its own for the first three, whose numbers
// the record has always held; the default device's beyond them, so that the record keeps its
// meaning and a program without choices.ini opens the default device, not a wrong one. Such a
// device is kept by its name in choices.ini alone.
int32_t settingsDeviceNumber(int32_t device);

// The device a stored choice opens now: by name when a name was kept (whatever the number, which
// is the default's for a device beyond the third), else by the stored number.
struct ResolvedDevice {
    int32_t device = kWaveMapper;  // the device to open
    bool missing = false;          // the chosen device is not there: the default one serves
};
// A name matches exactly first, preferring the stored number when two devices share the name;
// then without the " (hw:CARD,DEVICE)" that ALSA appends, whose card number follows the order the
// cards were found in, again preferring the stored number.
ResolvedDevice resolveDevice(int32_t storedDevice, const QString& storedName, const audio::DeviceList& devices);

// The name without ALSA's trailing " (hw:CARD,DEVICE)"; the name itself when it has none.
std::string withoutCardNumber(const std::string& name);

}
