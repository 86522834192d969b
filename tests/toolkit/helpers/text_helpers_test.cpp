#include "sorvak.h"

#include <gtest/gtest.h>

#include <string>

TEST(TextHelpers, StrcatmanyJoinsTheTextsThatAreNotNull)
{
    EXPECT_STREQ(strcatmany(nullptr, "a", nullptr, "b", nullptr), "ab");
}
