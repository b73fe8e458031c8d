#pragma once
// cloth_test_support.h -- the fixture every cloth test starts from.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cloth/cloth_grid.h"
#include "cloth/simd_avx2.h"

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

// For tests run on both code paths: false takes the vector paths this processor
// chooses, true the portable ones that processors without AVX2 run.
inline void usePortablePaths(bool portable) {
#ifdef CLOTH_HAVE_AVX2_PATH
    avx2PathsDisabled = portable;
#else
    (void)portable;
#endif
}
inline std::string codePathName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Portable" : "AsChosen";
}
