#include "cloth/cloth_normals.h"

#include <cmath>

#include "tests/cloth_test_support.h"

using ClothNormals = FreshCloth;

TEST_F(ClothNormals, FlatSheetPointsUpInBothSchemes) {
    sumSmoothNormals(nullptr);
    normaliseNodeNormals();
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) {
            SCOPED_TRACE(testing::Message() << "node " << i << "," << j);
            expectVector(nodeNormalSums[i][j], 0, 1, 0, 1e-6f);
        }
    float corners[4][3];
    cellCornerNormals(0, 0, corners);
    for (auto& n : corners) expectVector(n, 0, 1, 0, 1e-6f);
    cellCornerNormals(43, 43, corners);
    for (auto& n : corners) expectVector(n, 0, 1, 0, 1e-6f);
}

TEST_F(ClothNormals, SumsWeighTrianglesByArea) {
    sumSmoothNormals(nullptr);
    // A triangle of legs 0.2 has |cross| = 0.04. Corner [0][0] gets both of cell
    // (0,0); [44][0] only triangle 1 of cell (43,0); an interior node six.
    EXPECT_NEAR(nodeNormalSums[0][0][1], 0.08f, 1e-6f);
    EXPECT_NEAR(nodeNormalSums[44][0][1], 0.04f, 1e-6f);
    EXPECT_NEAR(nodeNormalSums[0][44][1], 0.04f, 1e-6f);
    EXPECT_NEAR(nodeNormalSums[44][44][1], 0.08f, 1e-6f);
    EXPECT_NEAR(nodeNormalSums[10][10][1], 0.24f, 1e-6f);
}

TEST_F(ClothNormals, LineEndsUseThePartialSumAtThatCell) {
    static float lineEnds[cellCount][cellCount][3];
    sumSmoothNormals(lineEnds);
    // Node [i+1][j]'s line right after cell (i, j): for i + 1 < 44 it still lacks
    // the two triangles of cell (i+1, j), so an interior node shows 4 of its 6.
    const float* base = ClothGrid[11][10].position;
    expectVector(lineEnds[10][10], base[0], base[1] + 4 * 0.16f * 0.2f, base[2], 1e-6f);
    // Node [44][10]: both triangles of cell (43, 9), then triangle 1 of (43, 10).
    const float* edge = ClothGrid[44][10].position;
    expectVector(lineEnds[10][43], edge[0], edge[1] + 4 * 0.12f * 0.2f, edge[2], 1e-6f);
    // Node [1][0]: cell (0,0) gave triangle 1 only.
    const float* low = ClothGrid[1][0].position;
    expectVector(lineEnds[0][0], low[0], low[1] + 4 * 0.04f * 0.2f, low[2], 1e-6f);
}

TEST_F(ClothNormals, ZeroLengthSumStaysZeroInsteadOfNaN) {
    // Fold the cloth flat onto a line: all of cell (20, 20)'s corners coincide.
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c) ClothGrid[i][j].position[c] = 1.0f;
    sumSmoothNormals(nullptr);
    normaliseNodeNormals();
    for (auto& row : nodeNormalSums)
        for (auto& n : row) expectVector(n, 0, 0, 0, 0);
    float corners[4][3];
    cellCornerNormals(20, 20, corners);
    for (auto& n : corners) {
        EXPECT_FALSE(std::isnan(n[0]));
        expectVector(n, 0, 0, 0, 0);
    }
}

TEST_F(ClothNormals, FacetedCornersFollowTheirOwnEdges) {
    // Lift corner P11 of cell (5, 5): the four corner normals now differ.
    ClothGrid[6][6].position[1] += 0.2f;
    float corners[4][3];
    cellCornerNormals(5, 5, corners);
    for (auto& n : corners) EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f);
    // P00 uses (P10 - P00) x (P00 - P11); P10 uses P11 and P00 through its edges.
    EXPECT_NEAR(corners[0][0], 0.0f, 1e-6f);
    EXPECT_LT(corners[0][2], 0.0f);
    EXPECT_LT(corners[1][2], 0.0f);
    EXPECT_NEAR(corners[1][0], 0.0f, 1e-6f);
    EXPECT_LT(corners[2][0], 0.0f);
    EXPECT_LT(corners[3][0], 0.0f);
}
