#include "library_hooks.h"

#include "audiofiles/media/reader_slots.h"
#include "mp3/lame_binding.h"

namespace sorvak {

void startLibraryFamilies()
{
    // A missing encoder library is not an error here: WAV2MP3 then returns 0 and touches no
    // file, and lameBindingError() keeps the reason.
    bindLameLibrary(kLameLibraryName);

    // The CD drive table is built at CDtoWAV's first call, not here: asking a drive that is
    // spinning up would hold up every program that loads the toolkit.

    startReaderSlots();
}

void endLibraryFamilies()
{
    // The CD part keeps no drive open between calls: nothing to release.

    releaseLameLibrary();
}

}
