#include "cloth/integrate_cloth.h"
void savePinnedNodes() {}
void integrateCloth() {}
void commitNextGrid() {}
void restorePinnedNodes() {}
