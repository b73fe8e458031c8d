#pragma once
// cloth_test_support.h -- the fixture every cloth test starts from.

#include <gtest/gtest.h>

#include <cstring>

#include "cloth/cloth_grid.h"

// Program-start state, then the sheet reset: what a fresh window shows.
class FreshCloth : public ::testing::Test {
protected:
    void SetUp() override {
        clearClothState();
        resetClothSheet();
    }
};

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline void expectVector(const float* actual, float x, float y, float z, float tolerance) {
    EXPECT_NEAR(actual[0], x, tolerance);
    EXPECT_NEAR(actual[1], y, tolerance);
    EXPECT_NEAR(actual[2], z, tolerance);
}
