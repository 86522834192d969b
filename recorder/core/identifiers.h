// Control and command identifiers of the main window (dialog 101), its menu (106), the welcome
// dialog (103) and the "Save Audio" dialog. Every control carries its identifier as the "controlId" property; every
// menu action carries its command as the "commandId" property.
#pragma once

namespace wavelark::ids {

// Main window controls.
inline constexpr int kRecordButton = 1001;
inline constexpr int kPlayButton = 1024;
inline constexpr int kImportButton = 1022;
inline constexpr int kSaveButton = 1023;
inline constexpr int kFolderButton = 1003;
inline constexpr int kExploreButton = 1004;
inline constexpr int kDeleteButton = 1028;
inline constexpr int kViewFrame = 1030;
inline constexpr int kArchiveFrame = 1032;
inline constexpr int kArchiveLabel = 1041;
inline constexpr int kArchiveFolderText = 1009;
inline constexpr int kStatusLine = 1010;
inline constexpr int kProgressBar = 1008;
inline constexpr int kWebAddress = 1042;
inline constexpr int kRecordSlider = 1046;
inline constexpr int kPlaySlider = 1047;
inline constexpr int kRecordGainLabel = 1049;
inline constexpr int kPlayGainLabel = 1050;
inline constexpr int kPlayEnabledBox = 1051;
inline constexpr int kRecordEnabledBox = 1052;
inline constexpr int kMonitorThruBox = 1048;
// Created hidden; never shown and without a command.
inline constexpr int kZoomOutButton = 1018;
inline constexpr int kZoomInButton = 1019;
inline constexpr int kAllButton = 1020;
inline constexpr int kSelectionButton = 1021;
inline constexpr int kStartButton = 1039;
inline constexpr int kEndButton = 1038;

// Menu commands.
inline constexpr int kExit = 40001;
inline constexpr int kRecordDeviceFirst = 40043;    // "Wave Mapper", "1", "2", "3": 40043..40046
inline constexpr int kPlaybackDeviceFirst = 40048;  // 40048..40051
// Devices from the fourth on, as many as the system offers up to kMoreDevices each.
inline constexpr int kRecordDeviceMore = 40100;     // devices 4..67: 40100..40163
inline constexpr int kPlaybackDeviceMore = 40200;   // 40200..40263
inline constexpr int kMoreDevices = 64;
// "Settings" > "Record": the unattended side.
inline constexpr int kStartOnSound = 40300;
inline constexpr int kStopAtSideEnd = 40301;
inline constexpr int kSideEndSilenceFirst = 40310;  // "10 s" .. "60 s": 40310..40315
inline constexpr int kStopAfterFirst = 40320;       // "Off", "15 minutes" .. "2 hours": 40320..40326
// "Settings" > "Meter Scale".
inline constexpr int kMeterScaleLinear = 40330;
inline constexpr int kMeterScaleDecibels = 40331;
inline constexpr int kLatencyFirst = 340;           // "Realtime" .. "Very Slow": 340..345
inline constexpr int kBuffersFirst = 350;           // "2", "4", "8", "16": 350..353
inline constexpr int kMixerRecord = 40006;
inline constexpr int kMixerPlayback = 40040;
inline constexpr int kOnlineGuide = 40026;
inline constexpr int kContactUs = 40047;
inline constexpr int kAbout = 40027;
inline constexpr int kFindTracks = 40060;  // "File" > "Find Tracks"
inline constexpr int kSaveTracks = 40061;  // "File" > "Save Tracks..."

// "Save Audio" dialog controls.
inline constexpr int kSaveNameField = 1056;
inline constexpr int kSaveFormatCombo = 1007;
inline constexpr int kSaveQualityCombo = 1008;
inline constexpr int kSaveFadeStartBox = 1049;
inline constexpr int kSaveFadeInField = 1009;
inline constexpr int kSaveFadeInSpinner = 1053;
inline constexpr int kSaveFadeEndBox = 1050;
inline constexpr int kSaveFadeOutField = 1006;
inline constexpr int kSaveFadeOutSpinner = 1054;
inline constexpr int kSaveMaximiseBox = 1055;
inline constexpr int kSaveCancelButton = 1052;
// Its "Save" button carries kSaveButton (1023), as the main window's does.

// Welcome dialog controls.
inline constexpr int kWelcomeHelp = 1024;
inline constexpr int kWelcomeStart = 1059;
inline constexpr int kWelcomeDontShow = 1060;

}
