// Compares every field of a WAV format record with the expected one, naming the field that
// differs.
#pragma once

#include "sorvak.h"

#include <gtest/gtest.h>

namespace wavelark::testing {

inline void expectWavFormat(const WavFormat& actual, const WavFormat& expected)
{
    EXPECT_EQ(actual.sampleRate, expected.sampleRate);
    EXPECT_EQ(actual.bitsPerSample, expected.bitsPerSample);
    EXPECT_EQ(actual.channels, expected.channels);
    EXPECT_EQ(actual.dataOffset, expected.dataOffset);
    EXPECT_EQ(actual.dataLength, expected.dataLength);
    EXPECT_EQ(actual.blockAlign, expected.blockAlign);
    EXPECT_EQ(actual.formatTag, expected.formatTag);
}

}
