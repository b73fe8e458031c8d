#include "cloth/wind_force.h"

#include "tests/cloth_test_support.h"

namespace {

class WindForce : public FreshCloth {
protected:
    static void setAllNormals(float x, float y, float z) {
        for (auto& row : nodeNormalSums)
            for (auto& n : row) n[0] = x, n[1] = y, n[2] = z;
    }
};

}  // namespace

TEST_F(WindForce, DotProductSumsLeftToRight) {
    EXPECT_EQ(dotProduct({1, 2, 3}, {4, 5, 6}), 32.0f);
    // (1e8 - 1e8) + 1 = 1, where 1e8 + (-1e8 + 1) would give 0.
    EXPECT_EQ(dotProduct({1e8f, -1e8f, 1}, {1, 1, 1}), 1.0f);
}

TEST_F(WindForce, ZeroOrVerticalNormalsGiveNoWind) {
    computeWindForces();
    expectVector(ClothGrid[7][8].windForce, 0, 0, 0, 0);
    setAllNormals(0, 1, 0);  // flat sheet: normals across the wind
    computeWindForces();
    for (int i = 0; i < lastNode; ++i)
        for (int j = 0; j < lastNode; ++j) expectVector(ClothGrid[i][j].windForce, 0, 0, 0, 0);
}

TEST_F(WindForce, PatchFacingZTakesTheWindsZComponent) {
    setAllNormals(0, 0, 1);
    computeWindForces();
    expectVector(ClothGrid[3][3].windForce, 0, 0, 0.015f, 0);
}

TEST_F(WindForce, MeanOfThreeNormalsIsNotRenormalised) {
    // node (i, even j) takes its triangle's corners [i][j], [i][j+1], [i+1][j]
    nodeNormalSums[4][6][2] = 1;
    nodeNormalSums[4][7][0] = 1;
    nodeNormalSums[5][6][1] = 1;
    // node (i, odd j) takes [i][j], [i+1][j-1], [i+1][j]
    nodeNormalSums[10][11][2] = 1;
    nodeNormalSums[11][10][0] = 1;
    nodeNormalSums[11][11][1] = 1;
    computeWindForces();
    const float expected = 0.025f / 9;
    expectVector(ClothGrid[4][6].windForce, expected, expected, expected, 1e-9f);
    expectVector(ClothGrid[10][11].windForce, expected, expected, expected, 1e-9f);
    // Its even neighbour [10][10] sees [10][11] and [11][10] but not [11][11]:
    // m = (1/3, 0, 1/3), w = 0.025/3.
    expectVector(ClothGrid[10][10].windForce, expected, 0, expected, 1e-9f);
}

TEST_F(WindForce, LastRowAndColumnAreNeverBlown) {
    setAllNormals(0.6f, 0, 0.8f);
    computeWindForces();
    for (int k = 0; k < gridSize; ++k) {
        SCOPED_TRACE(k);
        expectVector(ClothGrid[lastNode][k].windForce, 0, 0, 0, 0);
        expectVector(ClothGrid[k][lastNode].windForce, 0, 0, 0, 0);
    }
    const float w = 0.01f * 0.6f + 0.015f * 0.8f;
    expectVector(ClothGrid[43][43].windForce, w * 0.6f, 0, w * 0.8f, 1e-8f);
}
