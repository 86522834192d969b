#include "helpers/utf.h"

#include <cstdint>
#include <cstring>

namespace sorvak {

namespace {

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Decodes one UTF-8 character at text; returns its length in bytes, or 0 when it is invalid
// (a stray continuation byte, a truncated or overlong sequence, a surrogate, beyond U+10FFFF).
std::size_t decodeUtf8(const unsigned char* text, char32_t& codePoint)
{
    unsigned char lead = text[0];
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(text[i]))
            return 0;
        codePoint = (codePoint << 6) | (text[i] & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

}

std::size_t copyUtf8Cut(char* destination, std::size_t capacity, const char* source, std::size_t count)
{
    if (capacity == 0)
        return 0;
    std::size_t length = count < capacity - 1 ? count : capacity - 1;
    if (length < count) {
        // Step back over a character that would be cut in two.
        std::size_t start = length;
        while (start > 0 && isContinuation(static_cast<unsigned char>(source[start])))
            --start;
        length = start;
    }
    std::memmove(destination, source, length);
    destination[length] = 0;
    return length;
}

bool utf8ToUtf16(const char* text, char16_t* destination, std::size_t capacity)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t used = 0;
    while (*bytes) {
        char32_t codePoint = 0;
        std::size_t length = decodeUtf8(bytes, codePoint);
        if (length == 0)
            return false;
        std::size_t units = codePoint >= 0x10000 ? 2 : 1;
        if (used + units + 1 > capacity)
            break;
        if (units == 2) {
            codePoint -= 0x10000;
            destination[used++] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
            destination[used++] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
        } else {
            destination[used++] = static_cast<char16_t>(codePoint);
        }
        bytes += length;
    }
    destination[used] = 0;
    return true;
}

bool utf16ToUtf8(const char16_t* text, char* destination, std::size_t capacity)
{
    std::size_t used = 0;
    while (*text) {
        char32_t codePoint = *text;
        std::size_t units = 1;
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
            char32_t low = text[1];
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
            units = 2;
        } else if (codePoint >= 0xDC00 && codePoint <= 0xDFFF) {
            return false;
        }
        unsigned char encoded[4];
        std::size_t length = 0;
        if (codePoint < 0x80) {
            encoded[length++] = static_cast<unsigned char>(codePoint);
        } else if (codePoint < 0x800) {
            encoded[length++] = static_cast<unsigned char>(0xC0 | (codePoint >> 6));
            encoded[length++] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            encoded[length++] = static_cast<unsigned char>(0xE0 | (codePoint >> 12));
            encoded[length++] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
            encoded[length++] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        } else {
            encoded[length++] = static_cast<unsigned char>(0xF0 | (codePoint >> 18));
            encoded[length++] = static_cast<unsigned char>(0x80 | ((codePoint >> 12) & 0x3F));
            encoded[length++] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
            encoded[length++] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
        }
        if (used + length + 1 > capacity)
            break;
        std::memcpy(destination + used, encoded, length);
        used += length;
        text += units;
    }
    destination[used] = 0;
    return true;
}

}
