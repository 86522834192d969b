// UTF-8 and UTF-16 conversion and cutting for the text helpers' fixed-size buffers.
#pragma once

#include <cstddef>

namespace sorvak {

// Copies up to count bytes of source into destination, which holds capacity bytes, and ends it
// with a zero byte. A text that does not fit is cut before the first UTF-8 character that would
// not fit whole. Returns the number of bytes copied (without the terminator).
std::size_t copyUtf8Cut(char* destination, std::size_t capacity, const char* source, std::size_t count);

// Converts UTF-8 to zero-terminated UTF-16 in capacity units, cut on a whole character when it
// does not fit. Returns false, leaving the contents undefined, when the text is not valid UTF-8.
bool utf8ToUtf16(const char* text, char16_t* destination, std::size_t capacity);

// Converts zero-terminated UTF-16 to UTF-8 in capacity bytes, cut on a whole character when it
// does not fit. Returns false when the text holds an unpaired surrogate.
bool utf16ToUtf8(const char16_t* text, char* destination, std::size_t capacity);

}
