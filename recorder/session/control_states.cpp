#include "session/control_states.h"

#include "archive/archive_list.h"

#include "core/identifiers.h"
#include "core/toolkit_binding.h"

#include "sorvak_widgets.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

#include <array>
#include <utility>

namespace wavelark {

ControlStates controlStates(SessionPhase phase, bool hasTake)
{
    ControlStates states;
    switch (phase) {
    case SessionPhase::Idle:
        states = {true, hasTake, true, hasTake, true, true, true, true, true};
        break;
    case SessionPhase::Recording:
        states.record = true;
        break;
    case SessionPhase::Playing:
        states.play = true;
        states.menus = true;
        break;
    case SessionPhase::Saving:
        states.sliders = false;
        states.switches = false;
        break;
    case SessionPhase::Importing:
        states.sliders = false;
        break;
    case SessionPhase::Preparing:
        break;
    }
    return states;
}

void applyControlStates(QMainWindow& window, const ControlStates& states)
{
    const std::array<std::pair<int, bool>, 7> controls = {{
        {ids::kRecordButton, states.record},
        {ids::kPlayButton, states.play},
        {ids::kImportButton, states.import},
        {ids::kSaveButton, states.save},
        {ids::kFolderButton, states.archiveButtons},
        {ids::kExploreButton, states.archiveButtons},
        {ids::kDeleteButton, states.archiveButtons},
    }};
    for (const bool enable : {false, true}) {
        int list[10] = {};
        std::size_t count = 0;
        for (const auto& [id, enabled] : controls) {
            if (enabled == enable)
                list[count++] = id;
        }
        if (count != 0)
            g_toolkit.EnableWindows10(&window, enable ? 1 : 0, list[0], list[1], list[2], list[3], list[4], list[5],
                                      list[6], list[7], list[8], list[9]);
    }
    for (const int id : {ids::kRecordSlider, ids::kPlaySlider}) {
        if (QWidget* slider = sorvak::findControl(&window, id))
            slider->setEnabled(states.sliders);
    }
    for (const int id : {ids::kRecordEnabledBox, ids::kPlayEnabledBox, ids::kMonitorThruBox}) {
        if (QWidget* box = sorvak::findControl(&window, id))
            box->setEnabled(states.switches);
    }
    if (auto* archive = window.findChild<QWidget*>(QLatin1String(ArchiveList::kObjectName)))
        archive->setEnabled(states.archiveList);
    if (window.menuBar()) {
        for (QAction* menu : window.menuBar()->actions())
            menu->setEnabled(states.menus);
    }
}

}
