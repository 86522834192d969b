#include "library_hooks.h"

#include "audiofiles/media/reader_slots.h"
#include "mp3/lame_binding.h"

namespace sorvak {

void startLibraryFamilies()
{
    // A missing encoder library is not an error here: WAV2MP3 then returns 0 and touches no
    // file, and lameBindingError() keeps the reason.
    bindLameLibrary(kLameLibraryName);

    // CD part: the CD drive table is set up here.

    startReaderSlots();
}

void endLibraryFamilies()
{
    // CD part: the CD drive table is released here.

    releaseLameLibrary();
}

}
