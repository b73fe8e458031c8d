#include "tests/render_test_support.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cloth/cloth_grid.h"
#include "image/texture_loading.h"
#include "render/camera.h"
#include "render/draw_frame.h"
#include "render/reset_scene.h"
#include "tests/fake_window_system.h"

static SDL_Window* testWindow = nullptr;
static SDL_GLContext testContext = nullptr;
static std::string scratchDirectory;
static std::string previousDirectory;

bool openTestWindow() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        return false;
    }
    // Loaded once for the process, as the program's SDL layer does: unloaded
    // with each test's window, the driver would also take its name out of any
    // leak report about it.
    static bool glLibraryLoaded = false;
    if (!glLibraryLoaded) {
        if (SDL_GL_LoadLibrary(nullptr) != 0) {
            std::fprintf(stderr, "GL library: %s\n", SDL_GetError());
            return false;
        }
        glLibraryLoaded = true;
    }
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    testWindow = SDL_CreateWindow("render test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  windowWidth, windowHeight, SDL_WINDOW_OPENGL);
    testContext = testWindow ? SDL_GL_CreateContext(testWindow) : nullptr;
    if (!testContext) {
        std::fprintf(stderr, "GL window: %s\n", SDL_GetError());
        return false;
    }
    glViewport(0, 0, windowWidth, windowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, (double)windowWidth / (double)windowHeight, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return true;
}

void closeTestWindow() {
    if (testContext) SDL_GL_DeleteContext(testContext);
    if (testWindow) SDL_DestroyWindow(testWindow);
    testContext = nullptr;
    testWindow = nullptr;
}

void releaseTestContext() { SDL_GL_MakeCurrent(testWindow, nullptr); }

void restoreTestContext() { SDL_GL_MakeCurrent(testWindow, testContext); }

Rgb Picture::pixelAt(int x, int y) const {
    const size_t at = ((size_t)y * windowWidth + (size_t)x) * 3;
    return {bytes[at], bytes[at + 1], bytes[at + 2]};
}

Picture readPicture() {
    Picture picture;
    picture.bytes.resize((size_t)windowWidth * windowHeight * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, picture.bytes.data());
    return picture;
}

int countDifferingPixels(const Picture& a, const Picture& b, int tolerance) {
    int count = 0;
    for (size_t p = 0; p + 2 < a.bytes.size(); p += 3) {
        for (int c = 0; c < 3; ++c) {
            if (std::abs(a.bytes[p + c] - b.bytes[p + c]) > tolerance) {
                ++count;
                break;
            }
        }
    }
    return count;
}

static void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back((uint8_t)(value >> (8 * k)));
}

std::vector<uint8_t> makeBitmapFile(int width, int height, Rgb (*colour)(int x, int y)) {
    const uint32_t rowBytes = ((uint32_t)width * 3 + 3) / 4 * 4;
    const uint32_t pixelBytes = rowBytes * (uint32_t)height;
    std::vector<uint8_t> file;
    file.push_back('B');
    file.push_back('M');
    putLittleEndian(file, 54 + pixelBytes, 4);
    putLittleEndian(file, 0, 4);
    putLittleEndian(file, 54, 4);  // pixel data offset
    putLittleEndian(file, 40, 4);  // info header size
    putLittleEndian(file, (uint32_t)width, 4);
    putLittleEndian(file, (uint32_t)height, 4);  // positive: bottom row first
    putLittleEndian(file, 1, 2);
    putLittleEndian(file, 24, 2);
    putLittleEndian(file, 0, 4);  // no compression
    putLittleEndian(file, pixelBytes, 4);
    putLittleEndian(file, 2835, 4);
    putLittleEndian(file, 2835, 4);
    putLittleEndian(file, 0, 4);
    putLittleEndian(file, 0, 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            file.push_back((uint8_t)c.b);
            file.push_back((uint8_t)c.g);
            file.push_back((uint8_t)c.r);
        }
        for (uint32_t pad = (uint32_t)width * 3; pad < rowBytes; ++pad) file.push_back(0);
    }
    return file;
}

void enterScratchDirectory(const std::vector<uint8_t>& bitmap) {
    std::string pattern = (std::filesystem::temp_directory_path() / "render-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    scratchDirectory = pattern;
    previousDirectory = std::filesystem::current_path().string();
    std::filesystem::current_path(scratchDirectory);
    if (bitmap.empty()) return;
    std::filesystem::create_directory("Data");
    std::ofstream("Data/foulard.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bitmap.data()), (std::streamsize)bitmap.size());
}

void leaveScratchDirectory() {
    if (scratchDirectory.empty()) return;
    std::filesystem::current_path(previousDirectory);
    std::filesystem::remove_all(scratchDirectory);
    scratchDirectory.clear();
}

void removeTextureFile() { std::filesystem::remove("Data/foulard.bmp"); }

Rgb halfRedHalfGreen(int x, int) {
    return x < testTextureSize / 2 ? Rgb{255, 0, 0} : Rgb{0, 255, 0};
}


void GlTest::SetUp() {
    resetFakeWindowSystem();
    clearClothState();
    Camera = CameraState{};
    clothTexture = 0;
    forgetContextObjects();
    enterScratchDirectory(makeBitmapFile(testTextureSize, testTextureSize, halfRedHalfGreen));
    ASSERT_TRUE(openTestWindow());
}

void GlTest::TearDown() {
    closeTestWindow();
    forgetContextObjects();
    leaveScratchDirectory();
}

void GlTest::replaceContext() {
    closeTestWindow();
    forgetContextObjects();
    ASSERT_TRUE(openTestWindow());
    ASSERT_TRUE(resetScene());
}
