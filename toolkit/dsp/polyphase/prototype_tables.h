// The four built-in low-pass prototypes of the polyphase engine, one per filter type 0..3.
#ifndef SORVAK_POLYPHASE_PROTOTYPE_TABLES_H
#define SORVAK_POLYPHASE_PROTOTYPE_TABLES_H

#include <cstdint>

namespace sorvak::polyphase {

// The right half of a symmetric low-pass impulse response in Q31, sampled 32 times per input
// sample at the offsets (i + 0.5) / 32 for i < 32 * halfLength. Each table sums to 2^35, so the
// full response has unit gain at 0 Hz after division by the 32-fold oversampling.
struct PrototypeTable {
    int halfLength;
    const int32_t* entries;
};

extern const PrototypeTable kPrototypeTables[4];

}

#endif
