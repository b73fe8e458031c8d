#include "tests/cloth_reference.h"

#include <cmath>

namespace {

float lengthOf(float x, float y, float z) {
    double sum = (double)x * (double)x;
    sum = sum + (double)y * (double)y;
    sum = sum + (double)z * (double)z;
    return (float)std::sqrt(sum);
}

void rangeOf(int index, int& first, int& last) {
    first = index == 0 ? 0 : -1;
    last = index == lastNode ? 0 : 1;
}

void spring(ReferenceCloth& cloth, int i, int j, int di, int dj, int s) {
    ClothParticle& p = cloth.grid[i][j];
    const ClothParticle& q = cloth.grid[i + di][j + dj];
    p.springLength[s] = lengthOf(p.position[0] - q.position[0], p.position[1] - q.position[1],
                                 p.position[2] - q.position[2]);
    for (int c = 0; c < 3; ++c) p.springDirection[s][c] = q.position[c] - p.position[c];
    if (p.springLength[s] == 0.0f) p.springLength[s] = 0.00001f;
    for (int c = 0; c < 3; ++c) p.springDirection[s][c] /= p.springLength[s];
    p.springCompression[s] = p.restLength[s] - p.springLength[s];
    for (int c = 0; c < 3; ++c) {
        float f = -cloth.stiffness;
        f = f * p.springDirection[s][c];
        f = f * p.springCompression[s];
        p.springForce[s][c] = f;
    }
}

void forcesOfNode(ReferenceCloth& cloth, int i, int j) {
    int diFirst, diLast, djFirst, djLast;
    rangeOf(i, diFirst, diLast);
    rangeOf(j, djFirst, djLast);
    int s = 0;
    for (int di = diFirst; di <= diLast; ++di)
        for (int dj = djFirst; dj <= djLast; ++dj)
            if (di != 0 || dj != 0) spring(cloth, i, j, di, dj, s++);
    ClothParticle& p = cloth.grid[i][j];
    for (int k = 0; k < s; ++k)
        for (int c = 0; c < 3; ++c) p.force[c] += p.springForce[k][c];
    if (cloth.windOn)
        for (int c = 0; c < 3; ++c) p.force[c] += p.windForce[c];
}

void windPass(ReferenceCloth& cloth) {
    for (int i = 0; i <= 43; ++i) {
        for (int j = 0; j <= 43; ++j) {
            const float* a = cloth.normals[i][j];
            const float* b = j % 2 == 0 ? cloth.normals[i][j + 1] : cloth.normals[i + 1][j - 1];
            const float* c = cloth.normals[i + 1][j];
            float m[3];
            for (int k = 0; k < 3; ++k) {
                double sum = a[k];
                sum += b[k];
                sum += c[k];
                m[k] = (float)(sum / 3.0);
            }
            float w = cloth.wind[0] * m[0];
            w += cloth.wind[1] * m[1];
            w += cloth.wind[2] * m[2];
            for (int k = 0; k < 3; ++k) cloth.grid[i][j].windForce[k] = w * m[k];
        }
    }
}

void accumulate(ReferenceCloth& cloth) {
    windPass(cloth);
    for (int j = 1; j <= 43; ++j)
        for (int i = 1; i <= 43; ++i) forcesOfNode(cloth, i, j);
    for (int i = 1; i <= 43; ++i) forcesOfNode(cloth, i, 0);
    for (int i = 1; i <= 43; ++i) forcesOfNode(cloth, i, 44);
    for (int j = 1; j <= 43; ++j) forcesOfNode(cloth, 0, j);
    for (int j = 1; j <= 43; ++j) forcesOfNode(cloth, 44, j);
    forcesOfNode(cloth, 0, 0);
    forcesOfNode(cloth, 44, 0);
    forcesOfNode(cloth, 0, 44);
    forcesOfNode(cloth, 44, 44);
}

void integrate(ReferenceCloth& cloth) {
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            ClothParticle& p = cloth.grid[i][j];
            ClothParticle& n = cloth.next[i][j];
            for (int c = 0; c < 3; ++c) {
                p.acceleration[c] = p.force[c] / cloth.mass + cloth.gravity[c];
                p.velocity[c] = p.velocity[c] + p.acceleration[c] / 8.0f;
                p.velocity[c] = p.velocity[c] * cloth.damping;
            }
            n = p;
            for (int c = 0; c < 3; ++c) n.position[c] = n.position[c] + p.velocity[c];
            const double d = std::sqrt((double)(n.position[0] - cloth.centre[0]) * (n.position[0] - cloth.centre[0]) +
                                       (double)(n.position[1] - cloth.centre[1]) * (n.position[1] - cloth.centre[1]) +
                                       (double)(n.position[2] - cloth.centre[2]) * (n.position[2] - cloth.centre[2]));
            if (d > 1.55) continue;
            float speed = lengthOf(p.velocity[0], p.velocity[1], p.velocity[2]);
            if (speed == 0.0f) speed = 0.0000001f;
            float u[3], nn[3];
            for (int c = 0; c < 3; ++c) u[c] = p.velocity[c] / speed;
            for (int c = 0; c < 3; ++c) nn[c] = p.position[c] - cloth.centre[c];
            float len = lengthOf(nn[0], nn[1], nn[2]);
            if (len == 0.0f) len = 0.0000001f;
            for (int c = 0; c < 3; ++c) nn[c] /= len;
            const float dot = u[0] * nn[0] + u[1] * nn[1] + u[2] * nn[2];
            float proj[3], tang[3], refl[3];
            for (int c = 0; c < 3; ++c) proj[c] = dot * nn[c];
            for (int c = 0; c < 3; ++c) tang[c] = u[c] - proj[c];
            for (int c = 0; c < 3; ++c) refl[c] = tang[c] - proj[c];
            for (int c = 0; c < 3; ++c) {
                const float scaled = refl[c] * speed * cloth.damping;
                p.velocity[c] = (float)(scaled * 0.3);
            }
            n = p;
            for (int c = 0; c < 3; ++c) n.position[c] = n.position[c] + p.velocity[c];
        }
    }
}

void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

void referenceSmoothNormals(ReferenceCloth& cloth, float (*lineEnds)[cellCount][3]) {
    for (int j = 0; j <= 43; ++j) {
        for (int i = 0; i <= 43; ++i) {
            const float* p00 = cloth.grid[i][j].position;
            const float* p10 = cloth.grid[i + 1][j].position;
            const float* p11 = cloth.grid[i + 1][j + 1].position;
            const float* p01 = cloth.grid[i][j + 1].position;
            float e1[3], e2[3], t[3];
            for (int c = 0; c < 3; ++c) e1[c] = p10[c] - p00[c], e2[c] = p00[c] - p11[c];
            cross(e1, e2, t);
            for (int c = 0; c < 3; ++c) {
                cloth.normals[i + 1][j][c] += t[c];
                cloth.normals[i][j][c] += t[c];
                cloth.normals[i + 1][j + 1][c] += t[c];
            }
            for (int c = 0; c < 3; ++c) e1[c] = p01[c] - p11[c], e2[c] = p11[c] - p00[c];
            cross(e1, e2, t);
            for (int c = 0; c < 3; ++c) {
                cloth.normals[i][j + 1][c] += t[c];
                cloth.normals[i][j][c] += t[c];
                cloth.normals[i + 1][j + 1][c] += t[c];
            }
            if (lineEnds)
                for (int c = 0; c < 3; ++c)
                    lineEnds[j][i][c] = 4.0f * cloth.normals[i + 1][j][c] * cloth.spacing + p10[c];
        }
    }
    for (auto& row : cloth.normals) {
        for (auto& n : row) {
            const float len = lengthOf(n[0], n[1], n[2]);
            if (len == 0.0f) continue;
            for (int c = 0; c < 3; ++c) n[c] /= len;
        }
    }
}

void referenceReset(ReferenceCloth& cloth) {
    cloth.centre[0] = 0, cloth.centre[1] = 0, cloth.centre[2] = -10;
    cloth.spacing = 0.2f;
    cloth.stiffness = 2.5f;
    cloth.damping = 0.991f;
    cloth.mass = 1.0f;
    cloth.gravity[0] = 0, cloth.gravity[1] = (float)(cloth.spacing * -0.6 / 44), cloth.gravity[2] = 0;
    cloth.wind[0] = 0.01f, cloth.wind[1] = 0, cloth.wind[2] = 0.015f;
    const double s = cloth.spacing;
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            ClothParticle& p = cloth.grid[i][j];
            p.position[0] = (float)(i * s - 22 * s);
            p.position[1] = (float)(44 * s / 2);
            p.position[2] = (float)(j * s - 44 * s / 2 - 44 * s);
            for (int c = 0; c < 3; ++c) p.velocity[c] = p.force[c] = 0;
        }
    }
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            int diFirst, diLast, djFirst, djLast;
            rangeOf(i, diFirst, diLast);
            rangeOf(j, djFirst, djLast);
            int s = 0;
            ClothParticle& p = cloth.grid[i][j];
            for (int di = diFirst; di <= diLast; ++di) {
                for (int dj = djFirst; dj <= djLast; ++dj) {
                    if (di == 0 && dj == 0) continue;
                    const ClothParticle& q = cloth.grid[i + di][j + dj];
                    p.springLength[s] = lengthOf(p.position[0] - q.position[0], p.position[1] - q.position[1],
                                                 p.position[2] - q.position[2]);
                    p.restLength[s] = p.springLength[s];
                    ++s;
                }
            }
        }
    }
}

void referenceFrame(ReferenceCloth& cloth) {
    accumulate(cloth);
    if (cloth.pinsOn) {
        for (int c = 0; c < 3; ++c) cloth.grid[39][44].force[c] = 0;
        cloth.saves[0] = cloth.grid[39][44];
        for (int c = 0; c < 3; ++c) cloth.grid[5][44].force[c] = 0;
        cloth.saves[1] = cloth.grid[5][44];
    }
    integrate(cloth);
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            cloth.grid[i][j] = cloth.next[i][j];
            for (int c = 0; c < 3; ++c) {
                cloth.grid[i][j].force[c] = 0;
                cloth.grid[i][j].acceleration[c] = 0;
                cloth.normals[i][j][c] = 0;
            }
        }
    }
    if (cloth.pinsOn) {
        cloth.grid[39][44] = cloth.saves[0];
        cloth.grid[5][44] = cloth.saves[1];
    }
    if (cloth.smoothOn) referenceSmoothNormals(cloth, nullptr);
}
