#include "cloth/cloth_normals.h"

#include <cmath>

static inline void subtract(const float a[3], const float b[3], float out[3]) {
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

static inline void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

static inline void addTo(float sum[3], const float v[3]) {
    sum[0] = sum[0] + v[0];
    sum[1] = sum[1] + v[1];
    sum[2] = sum[2] + v[2];
}

// Length in double, stored as float, each component divided by that float. A
// zero vector has no direction: it stays zero rather than turning into NaN.
static inline void scaleToUnit(float v[3]) {
    const float length = (float)std::sqrt((double)v[0] * v[0] + (double)v[1] * v[1] + (double)v[2] * v[2]);
    if (length == 0.0f) return;
    v[0] = v[0] / length;
    v[1] = v[1] / length;
    v[2] = v[2] / length;
}

void sumSmoothNormals(float (*lineEnds)[cellCount][3]) {
    const float lineScale = normalLineScale;
    const float s = gridSpacing;
    for (int j = 0; j < cellCount; ++j) {
        for (int i = 0; i < cellCount; ++i) {
            const float* p00 = ClothGrid[i][j].position;
            const float* p10 = ClothGrid[i + 1][j].position;
            const float* p11 = ClothGrid[i + 1][j + 1].position;
            const float* p01 = ClothGrid[i][j + 1].position;
            float a[3], b[3], triangle[3];

            subtract(p10, p00, a);
            subtract(p00, p11, b);
            cross(a, b, triangle);
            addTo(nodeNormalSums[i + 1][j], triangle);
            addTo(nodeNormalSums[i][j], triangle);
            addTo(nodeNormalSums[i + 1][j + 1], triangle);

            subtract(p01, p11, a);
            subtract(p11, p00, b);
            cross(a, b, triangle);
            addTo(nodeNormalSums[i][j + 1], triangle);
            addTo(nodeNormalSums[i][j], triangle);
            addTo(nodeNormalSums[i + 1][j + 1], triangle);

            if (lineEnds) {
                const float* sum = nodeNormalSums[i + 1][j];
                for (int c = 0; c < 3; ++c) lineEnds[j][i][c] = lineScale * sum[c] * s + p10[c];
            }
        }
    }
}

void normaliseNodeNormals() {
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) scaleToUnit(nodeNormalSums[i][j]);
}

void cellCornerNormals(int i, int j, float normals[4][3]) {
    const float* p00 = ClothGrid[i][j].position;
    const float* p10 = ClothGrid[i + 1][j].position;
    const float* p11 = ClothGrid[i + 1][j + 1].position;
    const float* p01 = ClothGrid[i][j + 1].position;
    float a[3], b[3];

    subtract(p10, p00, a);
    subtract(p00, p11, b);
    cross(a, b, normals[0]);

    subtract(p11, p10, a);
    subtract(p10, p00, b);
    cross(a, b, normals[1]);

    subtract(p01, p11, a);
    subtract(p11, p10, b);
    cross(a, b, normals[2]);

    // -((P11 - P01) x (P01 - P00)), negated component by component.
    subtract(p11, p01, a);
    subtract(p01, p00, b);
    cross(a, b, normals[3]);
    for (int c = 0; c < 3; ++c) normals[3][c] = -normals[3][c];

    for (int k = 0; k < 4; ++k) scaleToUnit(normals[k]);
}
