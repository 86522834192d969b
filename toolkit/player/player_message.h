// Tells the user about a player error: a critical message box when the process has a widget
// application and this is its thread, else a line on standard error.
#pragma once

namespace sorvak::player {

void showPlayerError(const char* text, const char* caption);

}
