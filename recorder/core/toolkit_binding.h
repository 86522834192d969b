// The toolkit binding table: the recorder reaches libsorvak.so only through this table. The
// library is loaded by name at start-up (the executable's RUNPATH finds it beside the program or
// in ../lib) and its entry points are looked up by name, in a fixed order, into typed slots. The
// table is written only while binding and is read-only afterwards, so every thread may call
// through it; it is released as the last step of shutdown.
//
// Newer exports live outside the fixed table, in the optional extras (g_toolkitExtras): they are
// looked up by name once, right after the table, and stay empty when an older library lacks them.
// Their absence never fails the binding; each caller says what it cannot do without them.
#pragma once

#include "sorvak.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <string_view>

// The toolkit has no export of this name; the declaration only gives its slot a type. The slot
// stays empty and nothing calls it.
extern "C" void ResampleWAVHQ();

// Every name of the table, in the order the names are looked up.
#define WAVELARK_TOOLKIT_ENTRIES(X) \
    X(GetOpenFilenames) X(LBDeleteSelected) X(CreateDesktopShortcut) X(dw2sz) X(fp2sz) \
    X(lzdw2sz) X(CreateWaveOut) X(strcatmany) X(WAV2MP3) X(WAV2WMA) X(WMA2WAV) \
    X(BrowseForFolder) X(wmGetText) X(BitmapButtonXP) X(SineWave) X(LoadResourceJpeg) \
    X(AddComboStrings) X(OpenWMA) X(ReadWMA) X(CloseWMA) X(EnableWindows10) X(nanosec2time) \
    X(sz2wide) X(percent) X(SetFonts10) X(CDtoWAV) X(FileSize) X(WaitTime) X(mids) X(rights) \
    X(strrslash) X(cuts) X(strslash) X(DrawSolidRectangle) X(OpenWAV) X(ReadWAV) X(SeekWAV) \
    X(CloseWAV) X(ResampleWAV) X(AudioFilter) X(lin2log) X(AddToolTip) X(wide2sz) \
    X(GetFormatWMA) X(ConvertAudioBufferAlign) X(CreateWAVHeader) X(SearchFiles) X(MakeFolder) \
    X(GetWMAInfo) X(ResizeBitmap) X(SeekWMA) X(PitchBendAudioBufferStereo) X(ResampleWAVHQ) \
    X(MIN) X(MAX) X(StreamBuffer) X(GetWMADuration)

namespace wavelark {

struct ToolkitBinding {
    void* module = nullptr;
#define WAVELARK_TOOLKIT_SLOT(name) decltype(&::name) name = nullptr;
    WAVELARK_TOOLKIT_ENTRIES(WAVELARK_TOOLKIT_SLOT)
#undef WAVELARK_TOOLKIT_SLOT
};

inline constexpr std::size_t kToolkitEntryCount = 57;

// The optional extras' names, in the order they are looked up after the table.
#define WAVELARK_TOOLKIT_EXTRAS(X) X(WAV2MP3Tagged) X(WAV2WMATagged) X(ExamineAudioFile) X(AudioFileToWAV)

// The exports a library may lack: each slot is null when the bound library does not export the
// name. Filled and emptied with the table, and read-only in between, like it.
struct ToolkitExtras {
#define WAVELARK_TOOLKIT_SLOT(name) decltype(&::name) name = nullptr;
    WAVELARK_TOOLKIT_EXTRAS(WAVELARK_TOOLKIT_SLOT)
#undef WAVELARK_TOOLKIT_SLOT
};

// The names of the table in lookup order.
extern const std::array<std::string_view, kToolkitEntryCount> kToolkitEntryNames;

// The entries the recorder calls; binding fails when the library lacks one of them. The others
// are bound too, and their slots stay empty when the library lacks them.
extern const std::array<std::string_view, 29> kToolkitCalledEntries;

// The process-wide table.
extern ToolkitBinding g_toolkit;
// The process-wide optional extras, of the library g_toolkit is bound to.
extern ToolkitExtras g_toolkitExtras;

// The library's file name, looked up by the system's normal search.
inline constexpr char kToolkitLibraryName[] = "libsorvak.so";

struct ToolkitBindResult {
    bool loaded = false;          // the library could be loaded
    QString loadError;            // the loader's message when it could not
    QStringList missingEntries;   // called entries the library does not export
    bool ok() const { return loaded && missingEntries.isEmpty(); }
};

// Loads the library and fills every slot of g_toolkit, in table order, then those of
// g_toolkitExtras that the library exports. On failure the library is released again and both
// left empty. Window thread, before the main window exists.
ToolkitBindResult bindToolkit(const char* libraryName = kToolkitLibraryName);

// Releases the library and empties the table and the extras.
void releaseToolkit();

// The address held by the slot at index (0..56) of g_toolkit, for checks of the table.
void* toolkitSlot(std::size_t index);

}
