#include "session/control_states.h"

namespace wavelark {

ControlStates controlStates(SessionPhase phase, bool hasTake, bool hasMarkers)
{
    ControlStates states;
    switch (phase) {
    case SessionPhase::Idle:
        states = {true, hasTake, true, hasTake, true, true, true, true, true};
        states.findTracks = hasTake;
        states.saveTracks = hasTake && hasMarkers;
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

}
