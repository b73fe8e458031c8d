#pragma once
// render_test_support.h -- what the render tests share: a real GL context in a
// 640 x 480 SDL window (offscreen driver), the program's projection, pixel
// read-back, and a scratch working directory holding a test-made
// Data/foulard.bmp.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr int windowWidth = 640;
constexpr int windowHeight = 480;

// Opens the window with 16-bit depth, makes its context current and sets the
// viewport and the 45-degree projection the program uses. False with a message
// on stderr when no context can be had.
bool openTestWindow();
// Deletes the context and the window, as the program does before F1's new window.
void closeTestWindow();
// Leaves no context current (GL calls then do nothing and glGenLists yields 0),
// and makes the window's current again.
void releaseTestContext();
void restoreTestContext();

struct Rgb {
    int r, g, b;
};
// The back buffer, RGB, bottom row first: pixelAt(x, y) has y up from the bottom.
struct Picture {
    std::vector<uint8_t> bytes;
    Rgb pixelAt(int x, int y) const;
};
Picture readPicture();
// Number of pixels whose colours differ by more than tolerance in any channel.
int countDifferingPixels(const Picture& a, const Picture& b, int tolerance);

// A 24-bit bitmap file (file header, 40-byte info header, bottom-up padded BGR
// rows) of width x height pixels, colour(x, y) giving each pixel's RGB with y
// from the bottom row.
std::vector<uint8_t> makeBitmapFile(int width, int height, Rgb (*colour)(int x, int y));

// A fresh directory made the working directory, with Data/foulard.bmp written
// from bitmap unless bitmap is empty; leaveScratchDirectory goes back and removes it.
void enterScratchDirectory(const std::vector<uint8_t>& bitmap);
void leaveScratchDirectory();
void removeTextureFile();

// The cloth texture the pixel tests look for: red over the half of the cloth
// with i < 22, green over the other half.
Rgb halfRedHalfGreen(int x, int y);
constexpr int testTextureSize = 64;

// Every render test starts with the program-start globals, an empty sphere
// cache, a fresh context, and a scratch directory holding the half red, half
// green texture.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // What F1 does to the context: the old one is deleted, the cache forgotten,
    // a new one made current and the scene reset in it.
    void replaceContext();
};
