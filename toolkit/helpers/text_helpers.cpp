// Text and number helpers: joining, cutting and formatting text for display, each into its own
// ten rotating result buffers. Inputs longer than a buffer are cut to it, on a whole UTF-8
// character, never written past it.

#include "sorvak.h"

#include "helpers/rotating_buffers.h"
#include "helpers/utf.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using sorvak::RotatingBuffers;

thread_local RotatingBuffers<char, 1280> g_strcatmanyBuffers;
thread_local RotatingBuffers<char, 1024> g_midsBuffers;
thread_local RotatingBuffers<char, 1024> g_rightsBuffers;
thread_local RotatingBuffers<char, 1024> g_cutsBuffers;
thread_local RotatingBuffers<char, 1024> g_strrslashBuffers;
thread_local RotatingBuffers<char, 1024> g_strslashBuffers;
thread_local RotatingBuffers<char, 256> g_dw2szBuffers;
thread_local RotatingBuffers<char, 256> g_lzdw2szBuffers;
thread_local RotatingBuffers<char, 256> g_fp2szBuffers;
thread_local RotatingBuffers<char16_t, 1024> g_sz2wideBuffers;
thread_local RotatingBuffers<char, 1024> g_wide2szBuffers;
thread_local RotatingBuffers<char, 9> g_nanosec2timeBuffers;

// Paths use '/' on Linux; '\' still separates so that paths written the other way work too.
bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// The characters of text from start, at most length of them; start counts back from the end
// when fromEnd is set. Positions outside the text are held to it.
void copyMiddle(char* buffer, std::size_t capacity, const char* text, int start, int length, bool fromEnd)
{
    if (!text)
        return;
    long textLength = static_cast<long>(std::strlen(text));
    long first = fromEnd ? textLength - start : start;
    if (first < 0)
        first = 0;
    if (first > textLength)
        first = textLength;
    long count = length < 0 ? 0 : length;
    if (count > textLength - first)
        count = textLength - first;
    sorvak::copyUtf8Cut(buffer, capacity, text + first, static_cast<std::size_t>(count));
}

int lastSeparator(const char* text)
{
    for (long i = static_cast<long>(std::strlen(text)) - 1; i >= 0; --i)
        if (isSeparator(text[i]))
            return static_cast<int>(i);
    return -1;
}

}

char* strcatmany(const char* a, const char* b, const char* c, const char* d, const char* e)
{
    char* buffer = g_strcatmanyBuffers.claim();
    std::size_t used = 0;
    for (const char* text : {a, b, c, d, e}) {
        if (!text)
            continue;
        used += sorvak::copyUtf8Cut(buffer + used, g_strcatmanyBuffers.kSize - used, text, std::strlen(text));
    }
    return buffer;
}

char* mids(const char* text, int start, int length, int fromEnd)
{
    char* buffer = g_midsBuffers.claim();
    copyMiddle(buffer, g_midsBuffers.kSize, text, start, length, fromEnd != 0);
    return buffer;
}

char* rights(const char* text, int count)
{
    char* buffer = g_rightsBuffers.claim();
    copyMiddle(buffer, g_rightsBuffers.kSize, text, count, count, true);
    return buffer;
}

char* cuts(const char* text, int count)
{
    char* buffer = g_cutsBuffers.claim();
    if (!text)
        return buffer;
    long kept = static_cast<long>(std::strlen(text)) - (count < 0 ? 0 : count);
    if (kept >= 0)
        sorvak::copyUtf8Cut(buffer, g_cutsBuffers.kSize, text, static_cast<std::size_t>(kept));
    return buffer;
}

char* strrslash(const char* path)
{
    char* buffer = g_strrslashBuffers.claim();
    if (!path)
        return buffer;
    sorvak::copyUtf8Cut(buffer, g_strrslashBuffers.kSize, path, std::strlen(path));
    return buffer + lastSeparator(buffer) + 1;
}

char* strslash(const char* path)
{
    char* buffer = g_strslashBuffers.claim();
    if (!path)
        return buffer;
    sorvak::copyUtf8Cut(buffer, g_strslashBuffers.kSize, path, std::strlen(path));
    int separator = lastSeparator(buffer);
    std::memset(buffer + separator + 1, 0, g_strslashBuffers.kSize - static_cast<std::size_t>(separator + 1));
    return buffer;
}

char* dw2sz(int32_t value)
{
    char* buffer = g_dw2szBuffers.claim();
    std::snprintf(buffer, g_dw2szBuffers.kSize, "%d", value);
    return buffer;
}

char* lzdw2sz(int32_t value, int32_t digits)
{
    char* buffer = g_lzdw2szBuffers.claim();
    // "%.<digits>d"; a negative precision would mean none at all, as with no digits given.
    std::snprintf(buffer, g_lzdw2szBuffers.kSize, "%.*d", digits < 0 ? 1 : digits, value);
    return buffer;
}

char* fp2sz(double value, int32_t decimals)
{
    char* buffer = g_fp2szBuffers.claim();
    std::snprintf(buffer, g_fp2szBuffers.kSize, "%0.*f", decimals < 0 ? 0 : decimals, value);
    return buffer;
}

char16_t* sz2wide(const char* text)
{
    char16_t* buffer = g_sz2wideBuffers.claim();
    if (text && !sorvak::utf8ToUtf16(text, buffer, g_sz2wideBuffers.kSize))
        buffer[0] = 0;
    return buffer;
}

char* wide2sz(const char16_t* text)
{
    char* buffer = g_wide2szBuffers.claim();
    if (text && !sorvak::utf16ToUtf8(text, buffer, g_wide2szBuffers.kSize))
        std::memset(buffer, 0, g_wide2szBuffers.kSize);
    return buffer;
}

double percent(double part, double whole)
{
    // In this order: a part of 0 gives 100 / infinity = 0.
    return 100.0 / (whole / part);
}

char* nanosec2time(int64_t time100ns)
{
    char* buffer = g_nanosec2timeBuffers.advanceAndClaim();
    double time = static_cast<double>(time100ns);
    int hours = static_cast<int>(std::fmod(time * (1.0 / 36000000000.0), 24.0));
    int minutes = static_cast<int>(std::fmod(time * (1.0 / 600000000.0), 60.0));
    int seconds = static_cast<int>(std::fmod(time * (1.0 / 10000000.0), 60.0));
    // Negative durations are outside the contract; keep them from widening the 8-character text.
    if (hours < 0 || minutes < 0 || seconds < 0)
        hours = minutes = seconds = 0;
    // "hh:mm:ss", each field two digits as lzdw2sz(value, 2) gives them.
    int fields[3] = {hours, minutes, seconds};
    for (int i = 0; i < 3; ++i) {
        buffer[i * 3] = static_cast<char>('0' + fields[i] / 10);
        buffer[i * 3 + 1] = static_cast<char>('0' + fields[i] % 10);
        if (i < 2)
            buffer[i * 3 + 2] = ':';
    }
    int skipped = 0;
    while (skipped < 4 && (buffer[skipped] == '0' || buffer[skipped] == ':'))
        ++skipped;
    return buffer + skipped;
}
