#include "cloth/accumulate_forces.h"

#include "cloth/simd_avx2.h"
#include "tests/cloth_test_support.h"

namespace {

// One spring as the force pass leaves it: node [10][10] and its slot-6
// neighbour [11][10] on the x axis. On the vector path this processor takes and
// on the portable one that processors without AVX2 take.
class SpringForce : public FreshCloth, public ::testing::WithParamInterface<bool> {
protected:
    static constexpr int slot = 6;  // (+1, 0) of an interior node
    void SetUp() override {
        FreshCloth::SetUp();
        usePortablePaths(GetParam());
    }
    void TearDown() override { usePortablePaths(false); }
    void placeNeighbourAt(float distance, float rest) {
        ClothParticle& node = ClothGrid[10][10];
        ClothParticle& other = ClothGrid[11][10];
        for (int c = 0; c < 3; ++c) other.position[c] = node.position[c];
        other.position[0] = node.position[0] + distance;
        node.restLength[slot] = rest;
    }
};
INSTANTIATE_TEST_SUITE_P(VectorAndPortable, SpringForce, ::testing::Values(false, true),
                         codePathName);

}  // namespace

TEST_P(SpringForce, AtRestLengthGivesNoForce) {
    accumulateForces();
    const ClothParticle& node = ClothGrid[10][10];
    EXPECT_EQ(node.springCompression[slot], 0.0f);
    expectVector(node.springForce[slot], 0, 0, 0, 0);
    expectVector(node.springDirection[slot], 1, 0, 0, 1e-6f);
}

TEST_P(SpringForce, StretchedSpringPullsTowardNeighbour) {
    placeNeighbourAt(0.25f, 0.2f);
    accumulateForces();
    const ClothParticle& node = ClothGrid[10][10];
    EXPECT_NEAR(node.springLength[slot], 0.25f, 1e-6f);
    EXPECT_NEAR(node.springCompression[slot], -0.05f, 1e-6f);
    expectVector(node.springForce[slot], 0.125f, 0, 0, 1e-6f);
}

TEST_P(SpringForce, CompressedSpringPushesAway) {
    placeNeighbourAt(0.15f, 0.2f);
    accumulateForces();
    expectVector(ClothGrid[10][10].springForce[slot], -0.125f, 0, 0, 1e-6f);
}

TEST_P(SpringForce, CoincidentNodesGiveZeroForceNotNaN) {
    placeNeighbourAt(0.0f, 0.2f);
    accumulateForces();
    const ClothParticle& node = ClothGrid[10][10];
    EXPECT_EQ(node.springLength[slot], 0.00001f);
    EXPECT_EQ(node.springCompression[slot], 0.2f - 0.00001f);
    expectVector(node.springDirection[slot], 0, 0, 0, 0);
    expectVector(node.springForce[slot], 0, 0, 0, 0);
}

TEST_P(SpringForce, BothEndsGiveOppositeForces) {
    ClothGrid[11][11].position[0] += 0.037f;
    ClothGrid[11][11].position[1] -= 0.021f;
    accumulateForces();
    // slot 7 of [10][10] is (+1, +1); slot 0 of [11][11] is (-1, -1)
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(ClothGrid[10][10].springForce[7][c], -ClothGrid[11][11].springForce[0][c]);
        EXPECT_EQ(ClothGrid[10][10].springLength[7], ClothGrid[11][11].springLength[0]);
    }
    EXPECT_GT(ClothGrid[10][10].springForce[7][0], 0.0f);  // stretched: pulled toward +x
}
