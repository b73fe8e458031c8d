#include "render/solid_sphere.h"

ShapeListEntry* shapeListHeads[shapeKindCount];

unsigned int findShapeList(int, const double*, int) { return 0; }
unsigned int addShapeList(int, double*, int) { return 0; }
void drawSolidSphere(double) {}
void clearShapeLists() {}
