#include "image/texture_loading.h"

#include <GL/gl.h>

#include <vector>

#include "render/reset_scene.h"
#include "tests/render_test_support.h"

static GLint boundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

static GLint textureLevelSize(GLenum which) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, which, &value);
    return value;
}

// The bound texture's level 0 as packed RGB rows, bottom row first.
static std::vector<uint8_t> boundTexels(int width, int height) {
    std::vector<uint8_t> texels((size_t)width * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

static std::vector<uint8_t> expectedTexels(int width, int height, Rgb (*colour)(int, int)) {
    std::vector<uint8_t> texels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            texels.insert(texels.end(), {(uint8_t)c.r, (uint8_t)c.g, (uint8_t)c.b});
        }
    }
    return texels;
}

// Every pixel different, so a row read from the wrong offset shows.
static Rgb distinctPixels(int x, int y) { return {10 + 40 * x, 20 + 50 * y, 200 - 30 * x - 7 * y}; }

class TextureLoading : public GlTest {};

TEST_F(TextureLoading, UploadsThePictureBoundWithLinearFilters) {
    ASSERT_TRUE(loadTextures());
    EXPECT_TRUE(glIsTexture(clothTexture));
    EXPECT_EQ(boundTexture(), (GLint)clothTexture);
    EXPECT_EQ(textureLevelSize(GL_TEXTURE_WIDTH), testTextureSize);
    EXPECT_EQ(textureLevelSize(GL_TEXTURE_HEIGHT), testTextureSize);
    EXPECT_EQ(boundTexels(testTextureSize, testTextureSize),
              expectedTexels(testTextureSize, testTextureSize, halfRedHalfGreen));
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
}

TEST_F(TextureLoading, RowsNotAMultipleOfFourBytesAreNotSheared) {
    // width 3: 9-byte rows, which the default unpack alignment would read as 12
    leaveScratchDirectory();
    enterScratchDirectory(makeBitmapFile(3, 4, distinctPixels));
    ASSERT_TRUE(loadTextures());
    EXPECT_EQ(boundTexels(3, 4), expectedTexels(3, 4, distinctPixels));
}

TEST_F(TextureLoading, MissingFileKeepsTheLiveTexture) {
    ASSERT_TRUE(loadTextures());
    const unsigned int live = clothTexture;
    removeTextureFile();
    EXPECT_FALSE(loadTextures());
    EXPECT_EQ(clothTexture, live);
    EXPECT_TRUE(glIsTexture(live));
    EXPECT_EQ(boundTexture(), (GLint)live);
}

TEST_F(TextureLoading, FiftyResetsLeaveExactlyOneTexture) {
    unsigned int highestName = 0;
    for (int reset = 0; reset < 50; ++reset) {
        ASSERT_TRUE(resetScene());
        if (clothTexture > highestName) highestName = clothTexture;
    }
    // Names may be handed out again once deleted: count what is alive instead.
    int alive = 0;
    for (unsigned int name = 1; name <= highestName + 1; ++name) alive += glIsTexture(name) ? 1 : 0;
    EXPECT_EQ(alive, 1);
    EXPECT_TRUE(glIsTexture(clothTexture));
    EXPECT_EQ(boundTexture(), (GLint)clothTexture);
}

TEST_F(TextureLoading, FirstLoadInANewContextWorksWithAStaleName) {
    ASSERT_TRUE(loadTextures());
    replaceContext();
    EXPECT_TRUE(glIsTexture(clothTexture));
    EXPECT_EQ(boundTexture(), (GLint)clothTexture);
    EXPECT_EQ(boundTexels(testTextureSize, testTextureSize),
              expectedTexels(testTextureSize, testTextureSize, halfRedHalfGreen));
}
