#include "cloth/simulate_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cloth/accumulate_forces.h"
#include "cloth/cloth_normals.h"
#include "cloth/simd_avx2.h"
#include "tests/cloth_reference.h"
#include "tests/cloth_test_support.h"

namespace {

class ClothFrame : public FreshCloth {
protected:
    // Static: too big for the stack, and one test process runs them in turn.
    static ReferenceCloth reference;

    void SetUp() override {
        FreshCloth::SetUp();
        reference = ReferenceCloth();
        referenceReset(reference);
        reference.windOn = false;
        reference.pinsOn = true;
        reference.smoothOn = true;
    }

    // Every field of every record, the normals and the pin saves, bit for bit.
    static ::testing::AssertionResult matchesReference() {
        for (int i = 0; i < gridSize; ++i)
            for (int j = 0; j < gridSize; ++j) {
                const float* ours = &ClothGrid[i][j].position[0];
                const float* theirs = &reference.grid[i][j].position[0];
                for (int f = 0; f < 159; ++f)
                    if (!sameBits(ours[f], theirs[f]))
                        return ::testing::AssertionFailure() << "node " << i << "," << j << " float " << f << ": "
                                                             << ours[f] << " vs " << theirs[f];
                for (int c = 0; c < 3; ++c)
                    if (!sameBits(nodeNormalSums[i][j][c], reference.normals[i][j][c]))
                        return ::testing::AssertionFailure() << "normal " << i << "," << j;
            }
        if (std::memcmp(pinnedNodeSaves, reference.saves, sizeof pinnedNodeSaves) != 0)
            return ::testing::AssertionFailure() << "pin saves differ";
        return ::testing::AssertionSuccess();
    }
};

ReferenceCloth ClothFrame::reference;

// The tool's own tests run where it is built; under Wine the Linux tree compares
// clothtrace.exe with the Linux clothtrace instead.
#ifndef _WIN32
std::string runClothtrace(const std::string& arguments, int* status) {
    const std::string command = std::string(CLOTHTRACE_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int raw = pclose(pipe);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

#endif

}  // namespace

TEST_F(ClothFrame, FirstStepAfterResetHasOnlyGravity) {
    windEnabled = 0;
    accumulateForces();
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) {
            SCOPED_TRACE(testing::Message() << "node " << i << "," << j);
            expectVector(ClothGrid[i][j].force, 0, 0, 0, 0);
        }
}

TEST_F(ClothFrame, LeavesNoForceOrAccelerationBetweenFrames) {
    windEnabled = 1;
    for (int frame = 0; frame < 40; ++frame) simulateClothFrame();
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) {
            SCOPED_TRACE(testing::Message() << "node " << i << "," << j);
            expectVector(ClothGrid[i][j].force, 0, 0, 0, 0);
            expectVector(ClothGrid[i][j].acceleration, 0, 0, 0, 0);
        }
    smoothNormals = 0;  // the normal table stays cleared, so the wind starves
    simulateClothFrame();
    for (auto& row : nodeNormalSums)
        for (auto& n : row) expectVector(n, 0, 0, 0, 0);
}

// Both paths, the vector one this processor takes and the portable one that
// processors without AVX2 take, must give the literal implementation's bits.
class ClothFramePaths : public ClothFrame, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ClothFrame::SetUp();
        usePortablePaths(GetParam());
    }
    void TearDown() override { usePortablePaths(false); }
};
INSTANTIATE_TEST_SUITE_P(VectorAndPortable, ClothFramePaths, ::testing::Values(false, true),
                         codePathName);

TEST_P(ClothFramePaths, MatchesLiteralImplementationBitForBit) {
    // Wind, pins and shading switched on the way, a reset in the middle; the
    // cloth drapes over the sphere and folds, so every branch is taken.
    struct Switch {
        int frame;
        char key;
    };
    const Switch switches[] = {{0, 'M'}, {150, 'B'}, {260, 'Z'}, {300, 'Z'}, {340, 'R'}, {345, 'B'}, {420, 'M'}};
    for (int frame = 1; frame <= 480; ++frame) {
        simulateClothFrame();
        referenceFrame(reference);
        ASSERT_TRUE(matchesReference()) << "after frame " << frame;
        for (const Switch& s : switches) {
            if (s.frame != frame && !(s.frame == 0 && frame == 1)) continue;
            applyKey(s.key);
            reference.windOn = windEnabled, reference.pinsOn = pinsEnabled, reference.smoothOn = smoothNormals;
            if (s.key == 'R') referenceReset(reference);
        }
    }
    // The run must have exercised the wind: nodes far from the sphere moved in z.
    EXPECT_GT(std::fabs(ClothGrid[0][0].velocity[2]) + std::fabs(ClothGrid[2][3].windForce[2]), 0.0f);
}

TEST_F(ClothFrame, NormalLineEndsMatchLiteralImplementation) {
    windEnabled = 1, reference.windOn = true;
    for (int frame = 0; frame < 300; ++frame) simulateClothFrame(), referenceFrame(reference);
    ASSERT_TRUE(matchesReference());
    static float ours[cellCount][cellCount][3], theirs[cellCount][cellCount][3];
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c) nodeNormalSums[i][j][c] = reference.normals[i][j][c] = 0;
    sumSmoothNormals(ours);
    referenceSmoothNormals(reference, theirs);
    for (int j = 0; j < cellCount; ++j)
        for (int i = 0; i < cellCount; ++i)
            for (int c = 0; c < 3; ++c)
                ASSERT_TRUE(sameBits(ours[j][i][c], theirs[j][i][c])) << "line of node " << i + 1 << "," << j;
}

TEST_F(ClothFrame, FoldedCellKeepsNormalsFinite) {
    // Collapse two rows onto each other: their cells have zero area.
    for (int j = 0; j < gridSize; ++j)
        for (int c = 0; c < 3; ++c) ClothGrid[20][j].position[c] = ClothGrid[21][j].position[c];
    ClothGrid[20][10].position[0] = ClothGrid[21][10].position[0] = 0;
    windEnabled = 1;
    for (int frame = 0; frame < 3; ++frame) simulateClothFrame();
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c) {
                ASSERT_TRUE(std::isfinite(nodeNormalSums[i][j][c])) << i << "," << j;
                ASSERT_TRUE(std::isfinite(ClothGrid[i][j].position[c])) << i << "," << j;
            }
}

#ifndef _WIN32
TEST(Clothtrace, PrintsEveryNodeAndRepeatsItself) {
    int status = -1;
    const std::string first = runClothtrace("300 0:M 120:B 200:ZZ 250:R", &status);
    EXPECT_EQ(status, 0);
    int again = -1;
    EXPECT_EQ(runClothtrace("300 0:M 120:B 200:ZZ 250:R", &again), first);
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 2025);
    EXPECT_EQ(first.find("nan"), std::string::npos);
    EXPECT_EQ(first.rfind("44 44 ", 0) == std::string::npos, true);
}

TEST(Clothtrace, HoldsPinnedNodesAtTheirStoredPositions) {
    int status = -1;
    const std::string out = runClothtrace("500", &status);
    ASSERT_EQ(status, 0);
    char expected[128];
    std::snprintf(expected, sizeof expected, "\n5 44 %.9g %.9g %.9g 0 0 0\n", -3.4f, 4.4f, -4.4f);
    EXPECT_NE(out.find(expected), std::string::npos);
    std::snprintf(expected, sizeof expected, "\n39 44 %.9g %.9g %.9g 0 0 0\n", 3.4f, 4.4f, -4.4f);
    EXPECT_NE(out.find(expected), std::string::npos);
}

TEST(Clothtrace, MatchesInProcessFramesAndKeyOrder) {
    int status = -1;
    const std::string out = runClothtrace("60 0:M 30:B 30:R", &status);
    ASSERT_EQ(status, 0);
    clearClothState();
    resetClothSheet();
    windEnabled = 1;
    for (int frame = 1; frame <= 60; ++frame) {
        simulateClothFrame();
        if (frame == 30) pinsEnabled = 0, resetClothSheet();
    }
    char line[256];
    const ClothParticle& node = ClothGrid[39][44];
    std::snprintf(line, sizeof line, "\n39 44 %.9g %.9g %.9g %.9g %.9g %.9g\n", node.position[0], node.position[1],
                  node.position[2], node.velocity[0], node.velocity[1], node.velocity[2]);
    EXPECT_NE(out.find(line), std::string::npos) << line;
}

TEST(Clothtrace, RefusesBadArguments) {
    for (const char* bad : {"", "x", "-1", "10 11:M", "10 3:Q", "10 3", "10 :M", "10 3:", "10 a:M"}) {
        SCOPED_TRACE(bad);
        int status = -1;
        const std::string out = runClothtrace(bad, &status);
        EXPECT_EQ(status, 2);
        EXPECT_EQ(out.rfind("usage: clothtrace", 0), 0u);
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    }
}
#endif
