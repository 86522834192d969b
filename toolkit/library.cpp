// The toolkit's start and end: run when libsorvak.so is loaded into a process and when it is
// unloaded. Families that hold process-wide resources bind or release them here, in this order.
// Starting always succeeds: a missing optional library (the MP3 encoder) leaves its family
// inert, and its exports then report failure by their results.

#include "library_hooks.h"

namespace {

__attribute__((constructor)) void startLibrary()
{
    sorvak::startLibraryFamilies();
}

__attribute__((destructor)) void endLibrary()
{
    sorvak::endLibraryFamilies();
}

}
