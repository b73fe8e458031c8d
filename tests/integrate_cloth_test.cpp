#include "cloth/integrate_cloth.h"

#include <cmath>

#include "tests/cloth_test_support.h"

namespace {

class Integration : public FreshCloth {
protected:
    void SetUp() override {
        FreshCloth::SetUp();
        pinsEnabled = 0;
    }
    static void step() {
        integrateCloth();
        commitNextGrid();
    }
    // Net force that cancels gravity, so the damped velocity is v * damping.
    static void cancelGravity(ClothParticle& node) {
        for (int c = 0; c < 3; ++c) node.force[c] = -gravity[c] * particleMass;
    }
};

}  // namespace

TEST_F(Integration, FreeNodeFallsUnderGravity) {
    step();
    const ClothParticle& node = ClothGrid[0][0];
    EXPECT_NEAR(node.velocity[1], -0.00033784f, 1e-8f);
    EXPECT_EQ(node.velocity[0], 0.0f);
    EXPECT_EQ(node.position[1], 4.4f + node.velocity[1]);
}

TEST_F(Integration, DampingBoundsTheFallingSpeed) {
    // Node [0][0] is far from the sphere; forces stay zero between steps.
    for (int n = 0; n < 4000; ++n) step();
    EXPECT_NEAR(ClothGrid[0][0].velocity[1], -0.0375376f, 2e-6f);
}

TEST_F(Integration, NodeHittingTheTopOfTheSphereBouncesStraightUp) {
    ClothParticle& node = ClothGrid[22][22];
    node.position[0] = 0, node.position[1] = 1.6f, node.position[2] = -10;
    cancelGravity(node);
    node.velocity[1] = -0.1f / 0.991f;  // damped to -0.1
    step();
    expectVector(node.velocity, 0, 0.02973f, 0, 1e-7f);
    expectVector(node.position, 0, 1.62973f, -10, 1e-6f);
    EXPECT_EQ(node.force[1], 0.0f);
    EXPECT_EQ(node.acceleration[1], 0.0f);
}

TEST_F(Integration, TangentialHitKeepsDirectionAtReducedSpeed) {
    ClothParticle& node = ClothGrid[22][22];
    node.position[0] = 0, node.position[1] = 1.5f, node.position[2] = -10;
    cancelGravity(node);
    node.velocity[0] = 0.01f;
    step();
    EXPECT_NEAR(node.velocity[0], 0.01f * 0.991f * 0.2973f, 1e-9f);
    EXPECT_EQ(node.velocity[1], 0.0f);
}

TEST_F(Integration, NodeMovingAwayInsideTheRadiusStillBounces) {
    ClothParticle& node = ClothGrid[22][22];
    node.position[0] = 0, node.position[1] = 1.5f, node.position[2] = -10;
    cancelGravity(node);
    node.velocity[1] = 0.01f;
    step();
    EXPECT_LT(node.velocity[1], 0.0f);
}

TEST_F(Integration, NodeAtTheSphereCentreKeepsItsDirection) {
    ClothParticle& node = ClothGrid[22][22];
    node.position[0] = 0, node.position[1] = 0, node.position[2] = -10;
    cancelGravity(node);
    node.velocity[2] = 0.02f;
    step();
    EXPECT_TRUE(std::isfinite(node.velocity[2]));
    EXPECT_NEAR(node.velocity[2], 0.02f * 0.991f * 0.2973f, 1e-9f);
    cancelGravity(node);
    node.velocity[0] = node.velocity[1] = node.velocity[2] = 0;
    node.position[2] = -10;
    step();  // zero speed at the centre: no NaN
    expectVector(node.velocity, 0, 0, 0, 0);
}

TEST_F(Integration, CollisionRadiusIsTheDouble155) {
    // A tentative position (a, b, -10) whose double distance from the centre lies
    // in (1.55f, 1.55]: inside the double radius, outside the float one. (Float
    // coordinates practically never land on 1.55 itself.)
    float a = 1.2f, b = 0;
    bool found = false;
    for (; !found && a < 1.21f; a = std::nextafter(a, 2.0f)) {
        const float guess = (float)std::sqrt(1.55 * 1.55 - (double)a * a);
        for (float candidate : {std::nextafter(guess, 0.0f), guess, std::nextafter(guess, 2.0f)}) {
            const double d = std::sqrt((double)a * a + (double)candidate * candidate);
            if (d > (double)1.55f && d <= 1.55 && std::sqrt((double)a * a + (double)std::nextafter(candidate, 2.0f) *
                                                                           std::nextafter(candidate, 2.0f)) > 1.55) {
                b = candidate;
                found = true;
                break;
            }
        }
        if (found) break;
    }
    ASSERT_TRUE(found);

    // The node arrives there moving along +z by exactly 2^-10 after damping, so
    // old and tentative z are both exact floats.
    const float stride = 1.0f / 1024;
    float start = stride / 0.991f;
    while (start * 0.991f > stride) start = std::nextafter(start, 0.0f);
    while (start * 0.991f < stride) start = std::nextafter(start, 1.0f);
    ASSERT_EQ(start * 0.991f, stride);

    ClothParticle& node = ClothGrid[22][22];
    for (const bool inside : {true, false}) {
        SCOPED_TRACE(inside ? "just inside 1.55" : "next float beyond");
        node.position[0] = a;
        node.position[1] = inside ? b : std::nextafter(b, 2.0f);
        node.position[2] = -10.0f - stride;
        node.velocity[0] = node.velocity[1] = 0;
        node.velocity[2] = start;
        cancelGravity(node);
        step();
        if (inside)
            EXPECT_LT(node.velocity[2], stride * 0.3f);
        else
            EXPECT_EQ(node.velocity[2], stride);
    }
}

TEST_F(Integration, PinsHoldTheirNodesUntilReleased) {
    pinsEnabled = 1;
    ClothGrid[pinnedI0][pinnedJ].velocity[1] = -0.5f;  // would fly off if integrated
    ClothGrid[pinnedI0][pinnedJ].force[0] = 3.0f;
    const float heldPosition = ClothGrid[pinnedI0][pinnedJ].position[1];
    for (int n = 0; n < 5; ++n) {
        savePinnedNodes();
        integrateCloth();
        commitNextGrid();
        restorePinnedNodes();
    }
    EXPECT_EQ(ClothGrid[pinnedI0][pinnedJ].position[1], heldPosition);
    EXPECT_EQ(ClothGrid[pinnedI0][pinnedJ].velocity[1], -0.5f);
    EXPECT_EQ(ClothGrid[pinnedI0][pinnedJ].force[0], 0.0f);
    EXPECT_LT(ClothGrid[pinnedI1][pinnedJ].position[1], 4.4f + 1e-6f);
    EXPECT_EQ(ClothGrid[pinnedI1][pinnedJ].position[1], 4.4f);
    EXPECT_LT(ClothGrid[20][pinnedJ].position[1], 4.4f);

    pinsEnabled = 0;  // released with the velocity it was held with
    savePinnedNodes();
    integrateCloth();
    commitNextGrid();
    restorePinnedNodes();
    EXPECT_LT(ClothGrid[pinnedI0][pinnedJ].position[1], heldPosition - 0.4f);
}
