#include "cloth/cloth_grid.h"

#include <cmath>

#include "tests/cloth_test_support.h"

using ClothReset = FreshCloth;

TEST_F(ClothReset, LaysOutFlatSheetAtRestAboveSphere) {
    expectVector(ClothGrid[0][0].position, -4.4f, 4.4f, -13.2f, 0);
    expectVector(ClothGrid[44][44].position, 4.4f, 4.4f, -4.4f, 0);
    expectVector(ClothGrid[22][22].position, 0.0f, 4.4f, -8.8f, 1e-6f);
    expectVector(ClothGrid[pinnedI0][pinnedJ].position, 3.4f, 4.4f, -4.4f, 0);
    expectVector(ClothGrid[pinnedI1][pinnedJ].position, -3.4f, 4.4f, -4.4f, 0);
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            SCOPED_TRACE(testing::Message() << "node " << i << "," << j);
            expectVector(ClothGrid[i][j].velocity, 0, 0, 0, 0);
            expectVector(ClothGrid[i][j].force, 0, 0, 0, 0);
            EXPECT_EQ(ClothGrid[i][j].position[1], ClothGrid[0][0].position[1]);
        }
    }
}

TEST_F(ClothReset, SetsParameters) {
    EXPECT_EQ(gridSpacing, 0.2f);
    EXPECT_EQ(springStiffness, 2.5f);
    EXPECT_EQ(velocityDamping, 0.991f);
    EXPECT_EQ(particleMass, 1.0f);
    // Formed in double from the float spacing: not the same bits as -0.6f * 0.2f / 44.
    EXPECT_EQ(gravity[1], (float)((double)0.2f * -0.6 / 44));
    EXPECT_EQ(gravity[0], 0.0f);
    EXPECT_EQ(windVector[0], 0.01f);
    EXPECT_EQ(windVector[2], 0.015f);
    EXPECT_EQ(sphereCenter[2], -10.0f);
}

TEST_F(ClothReset, NumbersSlotsInNeighbourVisitingOrder) {
    NeighbourOffset offsets[8];
    // corner [0][0]: three springs
    ASSERT_EQ(neighbourOffsets(0, 0, offsets), 3);
    EXPECT_EQ(offsets[0].di, 0);
    EXPECT_EQ(offsets[0].dj, 1);
    EXPECT_EQ(offsets[1].di, 1);
    EXPECT_EQ(offsets[1].dj, 0);
    EXPECT_EQ(offsets[2].di, 1);
    EXPECT_EQ(offsets[2].dj, 1);
    // corner [44][44]: (-1,-1) (-1,0) (0,-1)
    ASSERT_EQ(neighbourOffsets(44, 44, offsets), 3);
    EXPECT_EQ(offsets[2].di, 0);
    EXPECT_EQ(offsets[2].dj, -1);
    // edge j = 0: slot 0 toward [i-1][0]
    ASSERT_EQ(neighbourOffsets(7, 0, offsets), 5);
    EXPECT_EQ(offsets[0].di, -1);
    EXPECT_EQ(offsets[0].dj, 0);
    // edge i = 44: last slot toward (0,+1)
    ASSERT_EQ(neighbourOffsets(44, 7, offsets), 5);
    EXPECT_EQ(offsets[4].di, 0);
    EXPECT_EQ(offsets[4].dj, 1);
    // interior: slot 0 toward [i-1][j-1], slot 3 (0,-1), slot 4 (0,+1), slot 7 (+1,+1)
    ASSERT_EQ(neighbourOffsets(7, 9, offsets), 8);
    EXPECT_EQ(offsets[0].di, -1);
    EXPECT_EQ(offsets[0].dj, -1);
    EXPECT_EQ(offsets[3].dj, -1);
    EXPECT_EQ(offsets[4].dj, 1);
    EXPECT_EQ(offsets[7].di, 1);
    EXPECT_EQ(offsets[7].dj, 1);
}

TEST_F(ClothReset, RestLengthsMeasuredFromTheSheet) {
    const float diagonal = (float)(0.2 * std::sqrt(2.0));
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            SCOPED_TRACE(testing::Message() << "node " << i << "," << j);
            const ClothParticle& node = ClothGrid[i][j];
            NeighbourOffset offsets[8];
            const int count = neighbourOffsets(i, j, offsets);
            for (int s = 0; s < count; ++s) {
                const bool axis = offsets[s].di == 0 || offsets[s].dj == 0;
                EXPECT_NEAR(node.restLength[s], axis ? 0.2f : diagonal, 2e-6f);
                EXPECT_TRUE(sameBits(node.restLength[s], node.springLength[s]));
            }
            for (int s = count; s < maxSprings; ++s) {
                EXPECT_EQ(node.restLength[s], 0.0f);
                EXPECT_EQ(node.springLength[s], 0.0f);
            }
        }
    }
    // From the stored positions, not the constant: these two differ in the last bit.
    const float measured = (float)std::sqrt((double)(ClothGrid[1][0].position[0] - ClothGrid[0][0].position[0]) *
                                            (ClothGrid[1][0].position[0] - ClothGrid[0][0].position[0]));
    EXPECT_TRUE(sameBits(ClothGrid[0][0].restLength[1], measured));
}

TEST_F(ClothReset, LeavesSwitchesNormalsAndOtherFieldsAlone) {
    windEnabled = 1;
    pinsEnabled = 0;
    smoothNormals = 0;
    nodeNormalSums[3][4][1] = 0.5f;
    ClothGrid[3][4].windForce[2] = 0.25f;
    ClothGrid[3][4].springForce[2][0] = 0.75f;
    ClothGrid[3][4].position[0] = 100.0f;
    ClothGrid[3][4].velocity[1] = 1.0f;
    resetClothSheet();
    EXPECT_EQ(windEnabled, 1);
    EXPECT_EQ(pinsEnabled, 0);
    EXPECT_EQ(smoothNormals, 0);
    EXPECT_EQ(nodeNormalSums[3][4][1], 0.5f);
    EXPECT_EQ(ClothGrid[3][4].windForce[2], 0.25f);
    EXPECT_EQ(ClothGrid[3][4].springForce[2][0], 0.75f);
    EXPECT_NEAR(ClothGrid[3][4].position[0], -3.8f, 1e-6f);
    EXPECT_EQ(ClothGrid[3][4].velocity[1], 0.0f);
}
