#include "cloth/spring_force.h"

#include <cstring>

#include "tests/cloth_test_support.h"

namespace {

// Two interior nodes on the x axis, node [10][10] and its slot-6 neighbour [11][10].
class SpringForce : public FreshCloth {
protected:
    static constexpr int slot = 6;  // (+1, 0) of an interior node
    void placeNeighbourAt(float distance, float rest) {
        ClothParticle& node = ClothGrid[10][10];
        ClothParticle& other = ClothGrid[11][10];
        for (int c = 0; c < 3; ++c) other.position[c] = node.position[c];
        other.position[0] = node.position[0] + distance;
        node.restLength[slot] = rest;
    }
};

}  // namespace

TEST_F(SpringForce, AtRestLengthGivesNoForce) {
    computeSpringForce(10, 10, 1, 0, slot);
    const ClothParticle& node = ClothGrid[10][10];
    EXPECT_EQ(node.springCompression[slot], 0.0f);
    expectVector(node.springForce[slot], 0, 0, 0, 0);
    expectVector(node.springDirection[slot], 1, 0, 0, 1e-6f);
}

TEST_F(SpringForce, StretchedSpringPullsTowardNeighbour) {
    placeNeighbourAt(0.25f, 0.2f);
    computeSpringForce(10, 10, 1, 0, slot);
    const ClothParticle& node = ClothGrid[10][10];
    EXPECT_NEAR(node.springLength[slot], 0.25f, 1e-6f);
    EXPECT_NEAR(node.springCompression[slot], -0.05f, 1e-6f);
    expectVector(node.springForce[slot], 0.125f, 0, 0, 1e-6f);
}

TEST_F(SpringForce, CompressedSpringPushesAway) {
    placeNeighbourAt(0.15f, 0.2f);
    computeSpringForce(10, 10, 1, 0, slot);
    expectVector(ClothGrid[10][10].springForce[slot], -0.125f, 0, 0, 1e-6f);
}

TEST_F(SpringForce, CoincidentNodesGiveZeroForceNotNaN) {
    placeNeighbourAt(0.0f, 0.2f);
    computeSpringForce(10, 10, 1, 0, slot);
    const ClothParticle& node = ClothGrid[10][10];
    EXPECT_EQ(node.springLength[slot], 0.00001f);
    EXPECT_EQ(node.springCompression[slot], 0.2f - 0.00001f);
    expectVector(node.springDirection[slot], 0, 0, 0, 0);
    expectVector(node.springForce[slot], 0, 0, 0, 0);
}

TEST_F(SpringForce, WritesOnlyItsSlotOfItsNode) {
    placeNeighbourAt(0.3f, 0.2f);
    ClothParticle nodeBefore = ClothGrid[10][10];
    const ClothParticle neighbourBefore = ClothGrid[11][10];
    computeSpringForce(10, 10, 1, 0, slot);
    EXPECT_EQ(std::memcmp(&neighbourBefore, &ClothGrid[11][10], sizeof(ClothParticle)), 0);
    ClothParticle nodeAfter = ClothGrid[10][10];
    // Blank the slot's four fields in both copies; the rest must be untouched.
    for (ClothParticle* p : {&nodeBefore, &nodeAfter}) {
        std::memset(p->springForce[slot], 0, sizeof p->springForce[slot]);
        std::memset(p->springDirection[slot], 0, sizeof p->springDirection[slot]);
        p->springLength[slot] = p->springCompression[slot] = 0;
    }
    EXPECT_EQ(std::memcmp(&nodeBefore, &nodeAfter, sizeof(ClothParticle)), 0);
}

TEST_F(SpringForce, BothEndsGiveOppositeForces) {
    ClothGrid[11][11].position[0] += 0.037f;
    ClothGrid[11][11].position[1] -= 0.021f;
    computeSpringForce(10, 10, 1, 1, 7);
    computeSpringForce(11, 11, -1, -1, 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(ClothGrid[10][10].springForce[7][c], -ClothGrid[11][11].springForce[0][c]);
        EXPECT_EQ(ClothGrid[10][10].springLength[7], ClothGrid[11][11].springLength[0]);
    }
    EXPECT_GT(ClothGrid[10][10].springForce[7][0], 0.0f);  // stretched: pulled toward +x
}
