#include "cloth/simulate_frame.h"

#include "cloth/accumulate_forces.h"
#include "cloth/cloth_grid.h"
#include "cloth/cloth_normals.h"
#include "cloth/integrate_cloth.h"

void simulateClothFrame() {
    accumulateForces();
    savePinnedNodes();
    integrateCloth();
    commitNextGrid();
    restorePinnedNodes();
    if (smoothNormals) {
        sumSmoothNormals(nullptr);
        normaliseNodeNormals();
    }
}

void applyKey(char key) {
    switch (key) {
        case 'M': windEnabled = !windEnabled; break;
        case 'B': pinsEnabled = !pinsEnabled; break;
        case 'Z': smoothNormals = !smoothNormals; break;
        case 'N': showNormals = !showNormals; break;
        case 'R': resetClothSheet(); break;
    }
}
