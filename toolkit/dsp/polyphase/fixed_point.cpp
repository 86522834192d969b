// The engine's integer helpers, exported for callers that build their own tables.
#include "sorvak.h"

SORVAK_API int32_t mulhi(int32_t a, int32_t b)
{
    // Arithmetic shift of the exact product: floor(a * b / 2^32).
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 32);
}

SORVAK_API uint32_t udivhi(uint32_t a, uint32_t b)
{
    // The quotient only fits in 32 bits when a < b; anything else saturates instead of wrapping.
    if (a >= b)
        return UINT32_MAX;
    return static_cast<uint32_t>((static_cast<uint64_t>(a) << 32) / b);
}

SORVAK_API uint32_t gcd(uint32_t a, uint32_t b)
{
    // Repeated subtraction of the smaller from the larger, a whole run of subtractions at a time
    // (the remainder), so a large ratio does not take billions of steps. A zero argument would
    // never be subtracted away: gcd(a, 0) is a.
    while (a != 0 && b != 0) {
        if (a > b)
            a %= b;
        else
            b %= a;
    }
    return a != 0 ? a : b;
}

SORVAK_API uint32_t MIN(uint32_t a, uint32_t b)
{
    return a < b ? a : b;
}

SORVAK_API uint32_t MAX(uint32_t a, uint32_t b)
{
    return a > b ? a : b;
}
