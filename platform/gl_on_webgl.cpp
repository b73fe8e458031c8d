// gl_on_webgl.cpp -- fixed-function OpenGL 1.1, as much as the program uses,
// on WebGL 1. The lighting is GL 1.1's own equation, per vertex (as Mesa
// evaluates it), for one light; the fragment stage only modulates the texture.
//
// WebGL has calls of the same names as some of GL 1.1's (glEnable, glDrawArrays,
// glTexImage2D, glHint); this file's versions take their place and reach
// WebGL's through emscripten's emscripten_gl* aliases.

#include "platform/gl_on_webgl.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
void emscripten_glEnable(GLenum capability);
void emscripten_glDisable(GLenum capability);
void emscripten_glDrawArrays(GLenum mode, GLint first, GLsizei count);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                             GLsizei height, GLint border, GLenum format, GLenum type,
                             const void* pixels);
void emscripten_glClearDepthf(GLfloat depth);
}

namespace {

struct Matrix {
    float m[16];  // column-major, as GL keeps it
};

constexpr double pi = 3.14159265358979323846;

constexpr Matrix identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[column * 4 + k];
            r.m[column * 4 + row] = sum;
        }
    return r;
}

struct ClientArray {
    bool enabled;
    int size;
    GLenum type;
    int stride;
    const void* pointer;
};

// A display list holds what was drawn while it was compiled: triangles with
// their normals (the GLU sphere is all the program compiles).
struct DisplayList {
    GLuint name;
    GLuint buffer;
    int vertexCount;
    float lastNormal[3];  // calling the list leaves it current, as GL does
};

enum Attribute { positionAttribute, normalAttribute, texCoordAttribute };

struct State {
    int context;
    GLuint program, streamBuffer, quadIndexBuffer;
    int quadIndexCapacity;  // quads the index buffer covers
    GLint modelviewAt, projectionAt, normalMatrixAt, lightingAt, unlitColourAt, sceneColourAt,
        lightOnAt, lightPositionAt, diffuseAt, specularAt, shininessAt, texturingAt;

    GLenum matrixMode;
    Matrix modelview[32], projection[4];
    int modelviewDepth, projectionDepth;

    bool lighting, light0, texturing;
    float lightAmbient[4], lightDiffuse[4], lightSpecular[4], lightPosition[4];  // position in eye space
    float materialAmbient[4], materialDiffuse[4], materialSpecular[4], materialEmission[4];
    float shininess;
    float colour[4], normal[3];
    ClientArray vertices, normals, texCoords;

    std::vector<DisplayList> lists;
    GLuint nextListName;
    GLuint compiling;  // the list being compiled, 0 for none
    GLenum compileMode;
    std::vector<float> compiled;  // x y z nx ny nz per vertex
    std::vector<float> staging;
};

State state;

void setDefaults() {
    state.matrixMode = GL_MODELVIEW;
    state.modelview[0] = identity;
    state.projection[0] = identity;
    state.modelviewDepth = state.projectionDepth = 0;
    state.lighting = state.light0 = state.texturing = false;
    const float black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, dim[4] = {0.2f, 0.2f, 0.2f, 1},
                grey[4] = {0.8f, 0.8f, 0.8f, 1}, overhead[4] = {0, 0, 1, 0};
    std::memcpy(state.lightAmbient, black, sizeof black);
    std::memcpy(state.lightDiffuse, white, sizeof white);
    std::memcpy(state.lightSpecular, white, sizeof white);
    std::memcpy(state.lightPosition, overhead, sizeof overhead);
    std::memcpy(state.materialAmbient, dim, sizeof dim);
    std::memcpy(state.materialDiffuse, grey, sizeof grey);
    std::memcpy(state.materialSpecular, black, sizeof black);
    std::memcpy(state.materialEmission, black, sizeof black);
    state.shininess = 0;
    std::memcpy(state.colour, white, sizeof white);
    state.normal[0] = state.normal[1] = 0;
    state.normal[2] = 1;
    state.vertices = state.normals = state.texCoords = ClientArray{false, 4, GL_FLOAT, 0, nullptr};
    state.lists.clear();
    state.nextListName = 1;
    state.compiling = 0;
    state.quadIndexCapacity = 0;
}

const char* const vertexShader = R"(
attribute vec3 position;
attribute vec3 normal;
attribute vec2 texCoord;
uniform mat4 modelview, projection;
uniform mat3 normalMatrix;
uniform bool lighting, lightOn;
uniform vec4 unlitColour, sceneColour, lightPosition, diffuse, specular;
uniform float shininess;
varying vec4 colour;
varying vec2 texel;
void main() {
    vec4 eye = modelview * vec4(position, 1.0);
    gl_Position = projection * eye;
    texel = texCoord;
    if (!lighting) {
        colour = unlitColour;
        return;
    }
    // No renormalising: GL_NORMALIZE is off, as in the program.
    vec3 n = normalMatrix * normal;
    vec4 lit = sceneColour;
    if (lightOn) {
        vec3 toLight = normalize(lightPosition.w == 0.0 ? lightPosition.xyz
                                                        : lightPosition.xyz / lightPosition.w - eye.xyz / eye.w);
        float facing = dot(n, toLight);
        if (facing > 0.0) {
            vec3 halfway = normalize(toLight + vec3(0.0, 0.0, 1.0));
            lit.rgb += facing * diffuse.rgb + pow(max(dot(n, halfway), 0.0), shininess) * specular.rgb;
        }
    }
    colour = clamp(lit, 0.0, 1.0);
}
)";

const char* const fragmentShader = R"(
precision mediump float;
uniform bool texturing;
uniform sampler2D picture;
varying vec4 colour;
varying vec2 texel;
void main() {
    gl_FragColor = texturing ? colour * texture2D(picture, texel) : colour;
}
)";

GLuint compile(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled) return shader;
    char log[512] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "clothsim: the browser's WebGL refuses our shader: %s\n", log);
    glDeleteShader(shader);
    return 0;
}

bool buildProgram() {
    GLuint vertex = compile(GL_VERTEX_SHADER, vertexShader);
    GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentShader);
    if (!vertex || !fragment) return false;
    state.program = glCreateProgram();
    glAttachShader(state.program, vertex);
    glAttachShader(state.program, fragment);
    glBindAttribLocation(state.program, positionAttribute, "position");
    glBindAttribLocation(state.program, normalAttribute, "normal");
    glBindAttribLocation(state.program, texCoordAttribute, "texCoord");
    glLinkProgram(state.program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = 0;
    glGetProgramiv(state.program, GL_LINK_STATUS, &linked);
    if (!linked) {
        std::fprintf(stderr, "clothsim: the browser's WebGL cannot link our shader\n");
        return false;
    }
    const GLuint p = state.program;
    state.modelviewAt = glGetUniformLocation(p, "modelview");
    state.projectionAt = glGetUniformLocation(p, "projection");
    state.normalMatrixAt = glGetUniformLocation(p, "normalMatrix");
    state.lightingAt = glGetUniformLocation(p, "lighting");
    state.unlitColourAt = glGetUniformLocation(p, "unlitColour");
    state.sceneColourAt = glGetUniformLocation(p, "sceneColour");
    state.lightOnAt = glGetUniformLocation(p, "lightOn");
    state.lightPositionAt = glGetUniformLocation(p, "lightPosition");
    state.diffuseAt = glGetUniformLocation(p, "diffuse");
    state.specularAt = glGetUniformLocation(p, "specular");
    state.shininessAt = glGetUniformLocation(p, "shininess");
    state.texturingAt = glGetUniformLocation(p, "texturing");
    glGenBuffers(1, &state.streamBuffer);
    glGenBuffers(1, &state.quadIndexBuffer);
    return true;
}

Matrix& currentMatrix() {
    return state.matrixMode == GL_PROJECTION ? state.projection[state.projectionDepth]
                                             : state.modelview[state.modelviewDepth];
}

void multiplyCurrent(const Matrix& by) { currentMatrix() = multiply(currentMatrix(), by); }

// The inverse transpose of the modelview's upper 3 x 3, which carries normals.
void normalMatrix(float out[9]) {
    const float* m = state.modelview[state.modelviewDepth].m;
    const float a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
    const float cofactors[9] = {e * i - f * h, f * g - d * i, d * h - e * g,
                                c * h - b * i, a * i - c * g, b * g - a * h,
                                b * f - c * e, c * d - a * f, a * e - b * d};
    const float determinant = a * cofactors[0] + b * cofactors[1] + c * cofactors[2];
    const float scale = determinant != 0.0f ? 1.0f / determinant : 0.0f;
    // cofactors[r * 3 + k] is row r's; as columns they give the inverse transpose.
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) out[k * 3 + r] = cofactors[r * 3 + k] * scale;
}

void setUniforms(bool texturing) {
    glUseProgram(state.program);
    glUniformMatrix4fv(state.modelviewAt, 1, GL_FALSE, state.modelview[state.modelviewDepth].m);
    glUniformMatrix4fv(state.projectionAt, 1, GL_FALSE, state.projection[state.projectionDepth].m);
    float normals[9];
    normalMatrix(normals);
    glUniformMatrix3fv(state.normalMatrixAt, 1, GL_FALSE, normals);
    glUniform1i(state.lightingAt, state.lighting);
    glUniform4fv(state.unlitColourAt, 1, state.colour);
    // The light model's ambient (0.2) and the light's own, on the material's.
    float scene[4], diffuse[4], specular[4];
    for (int k = 0; k < 3; ++k) {
        scene[k] = state.materialEmission[k] + 0.2f * state.materialAmbient[k] +
                   (state.light0 ? state.lightAmbient[k] * state.materialAmbient[k] : 0.0f);
        diffuse[k] = state.lightDiffuse[k] * state.materialDiffuse[k];
        specular[k] = state.lightSpecular[k] * state.materialSpecular[k];
    }
    scene[3] = diffuse[3] = specular[3] = state.materialDiffuse[3];
    glUniform4fv(state.sceneColourAt, 1, scene);
    glUniform1i(state.lightOnAt, state.light0);
    glUniform4fv(state.lightPositionAt, 1, state.lightPosition);
    glUniform4fv(state.diffuseAt, 1, diffuse);
    glUniform4fv(state.specularAt, 1, specular);
    glUniform1f(state.shininessAt, state.shininess);
    glUniform1i(state.texturingAt, texturing);
}

// Draws what the attributes now point at; quads as two triangles each.
void drawBound(GLenum mode, int count) {
    if (mode != GL_QUADS) {
        emscripten_glDrawArrays(mode, 0, count);
        return;
    }
    const int quads = count / 4;
    if (quads * 4 > 65536) return;  // past what 16-bit indices reach
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, state.quadIndexBuffer);
    if (quads > state.quadIndexCapacity) {
        std::vector<GLushort> indices;
        indices.reserve(quads * 6);
        for (int q = 0; q < quads; ++q) {
            const GLushort v = (GLushort)(q * 4);
            for (GLushort k : {0, 1, 2, 0, 2, 3}) indices.push_back((GLushort)(v + k));
        }
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * sizeof(GLushort), indices.data(),
                     GL_STATIC_DRAW);
        state.quadIndexCapacity = quads;
    }
    glDrawElements(GL_TRIANGLES, quads * 6, GL_UNSIGNED_SHORT, nullptr);
}

// Without an array, an attribute takes the current value, as in GL.
void constantAttributes(bool withNormals) {
    glDisableVertexAttribArray(texCoordAttribute);
    glVertexAttrib2f(texCoordAttribute, 0.0f, 0.0f);
    if (withNormals) return;
    glDisableVertexAttribArray(normalAttribute);
    glVertexAttrib3fv(normalAttribute, state.normal);
}

// Triangles of interleaved positions and normals, in the bound array buffer.
void drawTriangles(int vertexCount) {
    setUniforms(false);
    glEnableVertexAttribArray(positionAttribute);
    glEnableVertexAttribArray(normalAttribute);
    glVertexAttribPointer(positionAttribute, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
    glVertexAttribPointer(normalAttribute, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float),
                          reinterpret_cast<const void*>(3 * sizeof(float)));
    constantAttributes(true);
    emscripten_glDrawArrays(GL_TRIANGLES, 0, vertexCount);
}

// Into a list being compiled, drawn now unless the list is compile-only.
void emitTriangles(const std::vector<float>& vertices) {
    if (state.compiling) state.compiled.insert(state.compiled.end(), vertices.begin(), vertices.end());
    if (state.compiling && state.compileMode == GL_COMPILE) return;
    glBindBuffer(GL_ARRAY_BUFFER, state.streamBuffer);
    glBufferData(GL_ARRAY_BUFFER, vertices.size() * sizeof(float), vertices.data(), GL_STREAM_DRAW);
    drawTriangles((int)vertices.size() / 6);
    if (vertices.size() >= 6) std::memcpy(state.normal, &vertices[vertices.size() - 3], sizeof state.normal);
}

// One client array's elements first .. first + count, packed, appended to staging.
bool stageArray(const ClientArray& array, int first, int count) {
    if (array.type != GL_FLOAT || !array.pointer) return false;
    const int stride = array.stride ? array.stride : array.size * (int)sizeof(float);
    const char* from = static_cast<const char*>(array.pointer) + (size_t)first * stride;
    for (int v = 0; v < count; ++v, from += stride) {
        const float* element = reinterpret_cast<const float*>(from);
        state.staging.insert(state.staging.end(), element, element + array.size);
    }
    return true;
}

}  // namespace

bool useWebglContext(int context) {
    if (state.context == context) return true;
    setDefaults();
    state.context = context;
    if (buildProgram()) return true;
    state.context = 0;
    return false;
}

void forgetWebglContext(int context) {
    if (state.context != context) return;
    state.context = 0;
    state.lists.clear();
}

// --- Matrices ---------------------------------------------------------------

void glMatrixMode(GLenum mode) { state.matrixMode = mode; }
void glLoadIdentity() { currentMatrix() = identity; }

void glPushMatrix() {
    int& depth = state.matrixMode == GL_PROJECTION ? state.projectionDepth : state.modelviewDepth;
    const int limit = state.matrixMode == GL_PROJECTION ? 4 : 32;
    if (depth + 1 >= limit) return;  // GL's stack overflow: ignored
    Matrix top = currentMatrix();
    ++depth;
    currentMatrix() = top;
}

void glPopMatrix() {
    int& depth = state.matrixMode == GL_PROJECTION ? state.projectionDepth : state.modelviewDepth;
    if (depth > 0) --depth;
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix t = identity;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    multiplyCurrent(t);
}

void glRotatef(GLfloat degrees, GLfloat x, GLfloat y, GLfloat z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) return;
    x /= length;
    y /= length;
    z /= length;
    const float radians = degrees * (float)(pi / 180.0);
    const float s = std::sin(radians), c = std::cos(radians), t = 1.0f - c;
    const Matrix r = {{t * x * x + c, t * x * y + s * z, t * x * z - s * y, 0,
                       t * x * y - s * z, t * y * y + c, t * y * z + s * x, 0,
                       t * x * z + s * y, t * y * z - s * x, t * z * z + c, 0,
                       0, 0, 0, 1}};
    multiplyCurrent(r);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double half = fovy / 2.0 * pi / 180.0, depth = zFar - zNear, sine = std::sin(half);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return;
    const double cotangent = std::cos(half) / sine;
    Matrix p = {};
    p.m[0] = (float)(cotangent / aspect);
    p.m[5] = (float)cotangent;
    p.m[10] = (float)(-(zFar + zNear) / depth);
    p.m[11] = -1.0f;
    p.m[14] = (float)(-2.0 * zNear * zFar / depth);
    multiplyCurrent(p);
}

// --- Light, material, colour ------------------------------------------------

void glLightfv(GLenum light, GLenum name, const GLfloat* values) {
    if (light != GL_LIGHT0) return;
    switch (name) {
    case GL_AMBIENT: std::memcpy(state.lightAmbient, values, 4 * sizeof(float)); break;
    case GL_DIFFUSE: std::memcpy(state.lightDiffuse, values, 4 * sizeof(float)); break;
    case GL_SPECULAR: std::memcpy(state.lightSpecular, values, 4 * sizeof(float)); break;
    case GL_POSITION: {
        // Kept in eye space, through the modelview of the moment.
        const float* m = state.modelview[state.modelviewDepth].m;
        for (int row = 0; row < 4; ++row)
            state.lightPosition[row] = m[row] * values[0] + m[4 + row] * values[1] +
                                       m[8 + row] * values[2] + m[12 + row] * values[3];
        break;
    }
    default: break;
    }
}

void glMaterialfv(GLenum face, GLenum name, const GLfloat* values) {
    (void)face;  // lighting is one-sided: the front material serves both
    switch (name) {
    case GL_AMBIENT: std::memcpy(state.materialAmbient, values, 4 * sizeof(float)); break;
    case GL_DIFFUSE: std::memcpy(state.materialDiffuse, values, 4 * sizeof(float)); break;
    case GL_SPECULAR: std::memcpy(state.materialSpecular, values, 4 * sizeof(float)); break;
    case GL_EMISSION: std::memcpy(state.materialEmission, values, 4 * sizeof(float)); break;
    case GL_SHININESS: state.shininess = values[0]; break;
    default: break;
    }
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    state.colour[0] = r;
    state.colour[1] = g;
    state.colour[2] = b;
    state.colour[3] = 1.0f;
}

void glColor3ub(GLubyte r, GLubyte g, GLubyte b) { glColor3f(r / 255.0f, g / 255.0f, b / 255.0f); }

// --- Switches WebGL does not have -----------------------------------------

static bool* ownSwitch(GLenum capability) {
    switch (capability) {
    case GL_LIGHTING: return &state.lighting;
    case GL_LIGHT0: return &state.light0;
    case GL_TEXTURE_2D: return &state.texturing;
    default: return nullptr;
    }
}

void glEnable(GLenum capability) {
    if (bool* own = ownSwitch(capability)) *own = true;
    else emscripten_glEnable(capability);
}

void glDisable(GLenum capability) {
    if (bool* own = ownSwitch(capability)) *own = false;
    else emscripten_glDisable(capability);
}

// Shading is always smooth and polygons always filled: the only modes the
// program asks for. WebGL always interpolates in perspective.
void glShadeModel(GLenum) {}
void glPolygonMode(GLenum, GLenum) {}
void glHint(GLenum, GLenum) {}
void glClearDepth(GLclampd depth) { emscripten_glClearDepthf((float)depth); }

// GL 1.1 takes a component count for the internal format; WebGL wants the format.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
    if (internalFormat == 3) internalFormat = GL_RGB;
    if (internalFormat == 4) internalFormat = GL_RGBA;
    emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

// --- Client arrays -----------------------------------------------------------

static ClientArray* clientArray(GLenum kind) {
    switch (kind) {
    case GL_VERTEX_ARRAY: return &state.vertices;
    case GL_NORMAL_ARRAY: return &state.normals;
    case GL_TEXTURE_COORD_ARRAY: return &state.texCoords;
    default: return nullptr;
    }
}

void glEnableClientState(GLenum kind) {
    if (ClientArray* array = clientArray(kind)) array->enabled = true;
}

void glDisableClientState(GLenum kind) {
    if (ClientArray* array = clientArray(kind)) array->enabled = false;
}

void glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    state.vertices = ClientArray{state.vertices.enabled, size, type, stride, pointer};
}

void glNormalPointer(GLenum type, GLsizei stride, const void* pointer) {
    state.normals = ClientArray{state.normals.enabled, 3, type, stride, pointer};
}

void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    state.texCoords = ClientArray{state.texCoords.enabled, size, type, stride, pointer};
}

// WebGL draws only from buffers: the enabled arrays are copied into one, one
// after the other, each time.
void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (!state.vertices.enabled || count <= 0) return;
    state.staging.clear();
    const ClientArray* arrays[3] = {&state.vertices, &state.normals, &state.texCoords};
    size_t offsets[3] = {0, 0, 0};
    bool used[3] = {false, false, false};
    for (int a = 0; a < 3; ++a) {
        if (!arrays[a]->enabled) continue;
        offsets[a] = state.staging.size() * sizeof(float);
        used[a] = stageArray(*arrays[a], first, count);
        if (a == positionAttribute && !used[a]) return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, state.streamBuffer);
    glBufferData(GL_ARRAY_BUFFER, state.staging.size() * sizeof(float), state.staging.data(),
                 GL_STREAM_DRAW);
    const bool texturing = state.texturing && used[texCoordAttribute];
    setUniforms(texturing);
    constantAttributes(false);
    for (int a = 0; a < 3; ++a) {
        if (!used[a]) continue;
        glEnableVertexAttribArray(a);
        glVertexAttribPointer(a, arrays[a]->size, GL_FLOAT, GL_FALSE, 0,
                              reinterpret_cast<const void*>(offsets[a]));
    }
    drawBound(mode, count);
}

// --- Display lists ------------------------------------------------------------

GLuint glGenLists(GLsizei range) {
    if (range <= 0 || !state.context) return 0;
    const GLuint first = state.nextListName;
    state.nextListName += (GLuint)range;
    return first;
}

void glNewList(GLuint name, GLenum mode) {
    if (name == 0 || state.compiling) return;
    state.compiling = name;
    state.compileMode = mode;
    state.compiled.clear();
}

void glEndList() {
    if (!state.compiling) return;
    DisplayList list = {state.compiling, 0, (int)state.compiled.size() / 6, {0, 0, 1}};
    state.compiling = 0;
    if (list.vertexCount > 0) {
        std::memcpy(list.lastNormal, &state.compiled[state.compiled.size() - 3], sizeof list.lastNormal);
        glGenBuffers(1, &list.buffer);
        glBindBuffer(GL_ARRAY_BUFFER, list.buffer);
        glBufferData(GL_ARRAY_BUFFER, state.compiled.size() * sizeof(float), state.compiled.data(),
                     GL_STATIC_DRAW);
    }
    state.lists.push_back(list);
}

void glCallList(GLuint name) {
    for (const DisplayList& list : state.lists) {
        if (list.name != name) continue;
        if (list.vertexCount == 0) return;
        glBindBuffer(GL_ARRAY_BUFFER, list.buffer);
        drawTriangles(list.vertexCount);
        std::memcpy(state.normal, list.lastNormal, sizeof state.normal);
        return;
    }
}

// --- The GLU sphere -------------------------------------------------------------

// Only what the program asks of a quadric: filled, outside, smooth normals.
struct GLUquadric {
    GLenum drawStyle, normals;
};

GLUquadric* gluNewQuadric() { return new GLUquadric{GLU_FILL, GLU_SMOOTH}; }
void gluDeleteQuadric(GLUquadric* quadric) { delete quadric; }
void gluQuadricDrawStyle(GLUquadric* quadric, GLenum style) { quadric->drawStyle = style; }
void gluQuadricNormals(GLUquadric* quadric, GLenum normals) { quadric->normals = normals; }

// GLU's tessellation: the z axis through the poles, caps as fans, the stacks
// between them as strips; each vertex's normal is its direction from the centre.
void gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks) {
    if (slices < 2 || stacks < 2 || slices > 127 || stacks > 127) return;
    std::vector<float> sinSlice(slices + 1), cosSlice(slices + 1), sinStack(stacks + 1), cosStack(stacks + 1);
    for (int i = 0; i < slices; ++i) {
        const double angle = 2 * pi * i / slices;
        sinSlice[i] = (float)std::sin(angle);
        cosSlice[i] = (float)std::cos(angle);
    }
    sinSlice[slices] = sinSlice[0];
    cosSlice[slices] = cosSlice[0];
    for (int j = 0; j <= stacks; ++j) {
        const double angle = pi * j / stacks;
        sinStack[j] = (float)std::sin(angle);
        cosStack[j] = (float)std::cos(angle);
    }
    const bool smooth = quadric->normals == GLU_SMOOTH;
    const float r = (float)radius;
    std::vector<float> out;
    auto vertex = [&](int i, int j) {
        // The poles come to a point.
        const float ring = (j == 0 || j == stacks) ? 0.0f : r * sinStack[j];
        out.insert(out.end(), {ring * sinSlice[i], ring * cosSlice[i], r * cosStack[j]});
        if (smooth)
            out.insert(out.end(), {sinSlice[i] * sinStack[j], cosSlice[i] * sinStack[j], cosStack[j]});
        else
            out.insert(out.end(), {state.normal[0], state.normal[1], state.normal[2]});
    };
    for (int j = 0; j < stacks; ++j)
        for (int i = 0; i < slices; ++i) {
            // The strip's quad between rings j and j + 1, split as a strip splits it;
            // at the poles one of its triangles has no area and is left out.
            if (j < stacks - 1) {
                vertex(i, j + 1);
                vertex(i, j);
                vertex(i + 1, j + 1);
            }
            if (j > 0) {
                vertex(i + 1, j + 1);
                vertex(i, j);
                vertex(i + 1, j);
            }
        }
    emitTriangles(out);
}
