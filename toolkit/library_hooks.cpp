#include "library_hooks.h"

namespace sorvak {

void startLibraryFamilies()
{
    // The MP3 encoder binding, the CD drive table and the reader slots' speed factors are
    // started here as their families arrive.
}

void endLibraryFamilies()
{
}

}
