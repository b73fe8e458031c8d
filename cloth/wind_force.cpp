#include "cloth/wind_force.h"

#include "cloth/cloth_grid.h"

float dotProduct(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void computeWindForces() {
    const Vector3 wind = {windVector[0], windVector[1], windVector[2]};
    for (int i = 0; i < lastNode; ++i) {
        for (int j = 0; j < lastNode; ++j) {
            // Columns 2k and 2k+1 take the two triangles of cell (i, 2k), split
            // along its diagonal from (i, 2k+1) to (i+1, 2k).
            const float* a = nodeNormalSums[i][j];
            const float* b = (j % 2 == 0) ? nodeNormalSums[i][j + 1] : nodeNormalSums[i + 1][j - 1];
            const float* c = nodeNormalSums[i + 1][j];
            const Vector3 mean = {(float)(((double)a[0] + b[0] + c[0]) / 3),
                                  (float)(((double)a[1] + b[1] + c[1]) / 3),
                                  (float)(((double)a[2] + b[2] + c[2]) / 3)};
            const float w = dotProduct(wind, mean);
            float* force = ClothGrid[i][j].windForce;
            force[0] = w * mean.x;
            force[1] = w * mean.y;
            force[2] = w * mean.z;
        }
    }
}
