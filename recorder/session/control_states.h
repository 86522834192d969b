// Which of the main window's controls work in each phase of the take's session: one table for
// Record, Play, Import, Save and the archive's controls, the archive list and the menus. The
// window applies the states (session/take_display.h). Window thread only.
#pragma once

namespace wavelark {

enum class SessionPhase {
    Idle,       // nothing runs
    Recording,  // Record has become "Stop"
    Preparing,  // a new take is being maximised and drawn
    Playing,    // Play has become "Stop"
    Saving,     // a save runs
    Importing,  // an import runs
};

struct ControlStates {
    bool record = false;
    bool play = false;
    bool import = false;
    bool save = false;
    bool archiveButtons = false;  // "Folder ...", Explore and Delete
    bool archiveList = false;
    bool menus = false;           // "File", "Settings" and "Help"
    bool sliders = true;          // "Rec" and "Play"
    bool switches = true;         // the record and play enabled boxes and "Monitor - Thru"
    bool findTracks = false;      // "File" > "Find Tracks": a take, and nothing runs
    bool saveTracks = false;      // "File" > "Save Tracks...": a take with track markers, and nothing runs
};

// The table. Play and Save need a take; while playing the menus stay usable; a save also stills
// the sliders and the switches, an import the sliders. Find Tracks needs a take and the Idle
// phase, Save Tracks also the take's track markers.
ControlStates controlStates(SessionPhase phase, bool hasTake, bool hasMarkers = false);

}
