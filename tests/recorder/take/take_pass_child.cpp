// Runs one pass over a take as a child process of the tests and kills itself with SIGKILL when
// the pass reports a given percentage, as a crash or a kill -9 would stop the program there:
//   take_pass_child maximise|maximise-beside|resume <take> <percent> <block size> [take id]
// "maximise" is the journaled maximise (the way of a disk without room for a copy), whose kills
// leave a journal to resume from; "maximise-beside" the copy written beside and renamed over.

#include "take/raw_take_maximise.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 5 && argc != 6)
        return 2;
    const std::string mode = argv[1];
    const std::string take = argv[2];
    const int killAt = std::atoi(argv[3]);
    const std::size_t blockSize = static_cast<std::size_t>(std::atol(argv[4]));
    const std::string takeId = argc == 6 ? argv[5] : "";
    const wavelark::BlockProgress killer = [killAt](int percent) {
        if (percent >= killAt)
            std::raise(SIGKILL);
    };
    if (mode == "maximise")
        wavelark::maximiseRawTake(take, takeId, {}, killer, blockSize, wavelark::MaximiseWay::Journaled);
    else if (mode == "maximise-beside")
        wavelark::maximiseRawTake(take, takeId, {}, killer, blockSize, wavelark::MaximiseWay::BesideWhenRoom);
    else if (mode == "resume")
        wavelark::resumeRawTakeMaximise(take, takeId, killer, blockSize);
    else
        return 2;
    return 0;
}
