#pragma once
// app_test_support.h -- a fixture that puts the application shell, the cloth and
// the fake window system back to program start, and helpers over fakeCalls.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/render_window.h"
#include "cloth/cloth_grid.h"
#include "render/camera.h"
#include "tests/fake_window_system.h"

using Calls = std::vector<std::string>;

inline void resetApplicationState() {
    resetFakeWindowSystem();
    AppWindow = AppWindowState{nullptr, nullptr, nullptr, nullptr, 1, 0};
    std::memset(KeyState, 0, sizeof KeyState);
    smoothNormalsLatch = 1;
    pinsLatch = 1;
    Camera = CameraState{};
    Pointer = PointerState{};
    clearClothState();
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override { resetApplicationState(); }
    void TearDown() override { resetApplicationState(); }
};

// The calls recorded from the last `first` on, `first` included; empty if none.
inline Calls callsFromLast(const std::string& first) {
    for (size_t k = fakeCalls.size(); k-- > 0;)
        if (fakeCalls[k] == first) return Calls(fakeCalls.begin() + (long)k, fakeCalls.end());
    return {};
}

// The calls recorded after the last `marker`, the marker left out.
inline Calls callsAfterLast(const std::string& marker) {
    Calls from = callsFromLast(marker);
    if (!from.empty()) from.erase(from.begin());
    return from;
}

// The node positions of a freshly reset sheet, for comparing whole grids.
inline bool clothIsFreshSheet() {
    static ClothParticle saved[gridSize][gridSize];
    std::memcpy(saved, ClothGrid, sizeof saved);
    resetClothSheet();
    bool same = true;
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c)
                if (saved[i][j].position[c] != ClothGrid[i][j].position[c] ||
                    saved[i][j].velocity[c] != ClothGrid[i][j].velocity[c])
                    same = false;
    std::memcpy(ClothGrid, saved, sizeof saved);
    return same;
}
