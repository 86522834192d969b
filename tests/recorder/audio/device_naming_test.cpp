// The device menus' entries and a device chosen by name found again after the system numbered
// its devices differently.

#include "audio/device_naming.h"

#include <gtest/gtest.h>

namespace wavelark {
namespace {

const audio::DeviceList kTwo{{"Built-in Audio Analog Stereo", "USB Audio CODEC"}, 1};
const audio::DeviceList kSwapped{{"USB Audio CODEC", "Built-in Audio Analog Stereo"}, 0};
const audio::DeviceList kUnplugged{{"Built-in Audio Analog Stereo"}, 0};
const audio::DeviceList kNoDefault{{"Built-in Audio Analog Stereo"}, audio::kDefaultDevice};
const audio::DeviceList kFive{{"Built-in Audio Analog Stereo", "USB Audio CODEC", "HDMI 1", "HDMI 2", "Line In"}, 0};

TEST(DeviceNaming, EntriesNameTheDevicesAndTheDefaultOneSaysWhichItIs)
{
    const struct Case {
        int32_t device;
        audio::DeviceList devices;
        const char* entry;
        const char* name;
    } cases[] = {
        {kWaveMapper, kTwo, "Wave Mapper", "USB Audio CODEC"},
        {0, kTwo, "1  Built-in Audio Analog Stereo", "Built-in Audio Analog Stereo"},
        {1, kTwo, "2  USB Audio CODEC", "USB Audio CODEC"},
        {2, kTwo, "3", ""},  // past the list: the number the user chose, nothing more
        {kWaveMapper, kNoDefault, "Wave Mapper", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(deviceEntryText(c.device, c.devices).toStdString(), c.entry);
        EXPECT_EQ(deviceName(c.device, c.devices).toStdString(), c.name) << c.entry;
    }
    EXPECT_EQ(defaultEntryText(kTwo).toStdString(), "Wave Mapper  (USB Audio CODEC)");
    EXPECT_EQ(defaultEntryText(kNoDefault).toStdString(), "Wave Mapper");
    EXPECT_EQ(defaultEntryText(audio::DeviceList{}).toStdString(), "Wave Mapper");
}

TEST(DeviceNaming, TheNameWinsOverTheNumberWhenFoundAndAGoneDeviceIsMissing)
{
    const struct Case {
        const char* name;
        int32_t stored;
        const char* storedName;
        audio::DeviceList devices;
        int32_t device;
        bool missing;
    } cases[] = {
        {"SameNumbering", 1, "USB Audio CODEC", kTwo, 1, false},
        {"NumberedDifferently", 1, "USB Audio CODEC", kSwapped, 0, false},
        {"Unplugged", 1, "USB Audio CODEC", kUnplugged, kWaveMapper, true},
        {"GoneThoughTheNumberExists", 0, "USB Audio CODEC", kUnplugged, kWaveMapper, true},
        {"NoNameKeptUsesTheNumber", 1, "", kSwapped, 1, false},
        {"NoNameNumberPastTheList", 2, "", kTwo, kWaveMapper, true},
        {"NoNameWaveMapper", kWaveMapper, "", kSwapped, kWaveMapper, false},
        // A device beyond the third: the record holds the default's number, the name finds it.
        {"BeyondTheThirdByNameAlone", kWaveMapper, "Line In", kFive, 4, false},
        {"BeyondTheThirdGone", kWaveMapper, "Line In", kTwo, kWaveMapper, true},
        // Two interfaces of one make: the stored number tells them apart while it still names one.
        {"TwinsTheSecondChosen", 2, "Twin", audio::DeviceList{{"A", "Twin", "Twin"}, 0}, 2, false},
        {"TwinsTheNumberNowAnother", 0, "Twin", audio::DeviceList{{"A", "Twin", "Twin"}, 0}, 1, false},
        // The card numbered differently after a replug or a reboot.
        {"CardRenumbered", 1, "USB Audio CODEC: - (hw:2,0)",
         audio::DeviceList{{"HDA Intel PCH: ALC892 Analog (hw:0,0)", "USB Audio CODEC: - (hw:1,0)"}, 0}, 1, false},
        {"CardRenumberedAndMoved", 0, "USB Audio CODEC: - (hw:2,0)",
         audio::DeviceList{{"HDA Intel PCH: ALC892 Analog (hw:0,0)", "USB Audio CODEC: - (hw:1,0)"}, 0}, 1, false},
        {"TwinCardsRenumbered", 2, "Twin: USB (hw:3,0)",
         audio::DeviceList{{"A", "Twin: USB (hw:1,0)", "Twin: USB (hw:2,0)"}, 0}, 2, false},
        {"AnotherDeviceOfTheCardIsNotIt", 1, "USB Audio CODEC: - (hw:2,0)",
         audio::DeviceList{{"HDA Intel PCH: ALC892 Analog (hw:0,0)", "USB Audio CODEC: Digital (hw:1,1)"}, 0},
         kWaveMapper, true},
    };
    for (const Case& c : cases) {
        const ResolvedDevice resolved = resolveDevice(c.stored, QString::fromUtf8(c.storedName), c.devices);
        EXPECT_EQ(resolved.device, c.device) << c.name;
        EXPECT_EQ(resolved.missing, c.missing) << c.name;
    }
    // The record keeps the numbers it always held, and the default's beyond them.
    for (const auto& [device, stored] : {std::pair{kWaveMapper, kWaveMapper}, std::pair{0, 0}, std::pair{2, 2},
                                         std::pair{3, kWaveMapper}, std::pair{66, kWaveMapper}})
        EXPECT_EQ(settingsDeviceNumber(device), stored) << device;
    // Two devices of one name: the first is taken.
    EXPECT_EQ(findDeviceByName(QStringLiteral("Twin"), audio::DeviceList{{"A", "Twin", "Twin"}, 0}), 1);
    EXPECT_EQ(findDeviceByName(QStringLiteral("twin"), audio::DeviceList{{"A", "Twin"}, 0}), std::nullopt);
    for (const auto& [name, bare] : {std::pair{"USB Audio CODEC: - (hw:2,0)", "USB Audio CODEC: -"},
                                     std::pair{"pulse", "pulse"}, std::pair{"Odd (hw:1,0) name", "Odd (hw:1,0) name"}})
        EXPECT_EQ(withoutCardNumber(name), bare);
}

}
}
