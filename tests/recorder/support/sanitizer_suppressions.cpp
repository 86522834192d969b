// Sanitizer suppressions for the window and widget tests, for libraries not built with the sanitizers.
//
// Threads: Qt paints images and message boxes on its own thread pool and synchronises it in
// code the sanitizer cannot see, so every such painting shows as a race inside Qt. The
// recording engine and the player are checked across their real threads without suppressions
// in recorder_engine_tests.
//
// Leaks: fontconfig keeps its configuration for the life of the process.

extern "C" const char* __tsan_default_suppressions()
{
    return "race:libQt6Gui.so.6\n"
           "race:libQt6Core.so.6\n";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so.1\n";
}
