#include "render/scene_state.h"

#include <GL/gl.h>

#include <array>

#include "image/texture_loading.h"
#include "tests/fake_window_system.h"
#include "tests/render_test_support.h"

using Vec4 = std::array<float, 4>;

static Vec4 lightValue(GLenum name) {
    Vec4 v{};
    glGetLightfv(GL_LIGHT0, name, v.data());
    return v;
}

static Vec4 materialValue(GLenum face, GLenum name) {
    Vec4 v{};
    glGetMaterialfv(face, name, v.data());
    return v;
}

static GLint integerState(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

class SceneState : public GlTest {};

TEST_F(SceneState, SetsShadingDepthAndFrontFace) {
    ASSERT_TRUE(setUpSceneState());
    EXPECT_EQ(integerState(GL_SHADE_MODEL), GL_SMOOTH);
    Vec4 clear{};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear.data());
    EXPECT_EQ(clear, (Vec4{0.0f, 0.0f, 0.0f, 0.5f}));
    GLfloat depth = 0.0f;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integerState(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(integerState(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
    EXPECT_EQ(integerState(GL_FRONT_FACE), GL_CW);
}

TEST_F(SceneState, SetsWhiteLightWithYellowHighlights) {
    ASSERT_TRUE(setUpSceneState());
    EXPECT_EQ(lightValue(GL_DIFFUSE), (Vec4{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(lightValue(GL_SPECULAR), (Vec4{1.0f, 1.0f, 0.0f, 1.0f}));
    // positional (w = 1), through the identity modelview current here
    EXPECT_EQ(lightValue(GL_POSITION), (Vec4{0.0f, 0.0f, 0.0f, 1.0f}));
    // left at the defaults: no ambient from the light, no attenuation
    EXPECT_EQ(lightValue(GL_AMBIENT), (Vec4{0.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
}

TEST_F(SceneState, SetsSpecularMaterialOnBothFaces) {
    ASSERT_TRUE(setUpSceneState());
    for (GLenum face : {GL_FRONT, GL_BACK}) {
        SCOPED_TRACE(face == GL_FRONT ? "front" : "back");
        EXPECT_EQ(materialValue(face, GL_SPECULAR), (Vec4{1.0f, 1.0f, 1.0f, 1.0f}));
        EXPECT_EQ(materialValue(face, GL_SHININESS)[0], 50.0f);
        EXPECT_EQ(materialValue(face, GL_DIFFUSE), (Vec4{0.8f, 0.8f, 0.8f, 1.0f}));
    }
}

TEST_F(SceneState, LeavesColourTrackingCullingAndTexturingOff) {
    ASSERT_TRUE(setUpSceneState());
    // glColor must not tint lit surfaces, and both sides of the cloth are drawn.
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(SceneState, LeavesTheClothTextureBound) {
    ASSERT_TRUE(setUpSceneState());
    EXPECT_NE(clothTexture, 0u);
    EXPECT_EQ(integerState(GL_TEXTURE_BINDING_2D), (GLint)clothTexture);
}

TEST_F(SceneState, MissingTextureStopsBeforeLightAndMaterial) {
    removeTextureFile();
    EXPECT_FALSE(setUpSceneState());
    // the steps before the texture are done
    EXPECT_EQ(integerState(GL_FRONT_FACE), GL_CW);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    // those after it are not: GL defaults remain
    EXPECT_EQ(lightValue(GL_SPECULAR), (Vec4{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(materialValue(GL_FRONT, GL_SHININESS)[0], 0.0f);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    // a missing file is reported by the caller, not here
    EXPECT_TRUE(fakeMessages.empty());
}

TEST_F(SceneState, RepeatedSetUpKeepsTheSameState) {
    ASSERT_TRUE(setUpSceneState());
    ASSERT_TRUE(setUpSceneState());
    ASSERT_TRUE(setUpSceneState());
    EXPECT_EQ(lightValue(GL_SPECULAR), (Vec4{1.0f, 1.0f, 0.0f, 1.0f}));
    EXPECT_EQ(materialValue(GL_BACK, GL_SHININESS)[0], 50.0f);
    EXPECT_EQ(integerState(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(integerState(GL_TEXTURE_BINDING_2D), (GLint)clothTexture);
}
