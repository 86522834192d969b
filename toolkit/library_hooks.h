// The start and end hooks of the toolkit's families, called from library.cpp.
#pragma once

namespace sorvak {

// Called once when the library is loaded: binds the MP3 encoder library and resets the reader
// slots' previous speed factors to 1.0.
void startLibraryFamilies();

// Called once when the library is unloaded: releases what startLibraryFamilies bound.
void endLibraryFamilies();

}
