#pragma once
// solid_sphere.h -- a filled sphere, tessellated once per radius into a display list.

struct ShapeListEntry {
    unsigned int listName;
    ShapeListEntry* next;
    int parameterCount;
    double* parameters;  // owned by the entry
};

constexpr int solidSphereKind = 0;
constexpr int shapeKindCount = 1;
extern ShapeListEntry* shapeListHeads[shapeKindCount];

unsigned int findShapeList(int kind, const double* parameters, int count);
unsigned int addShapeList(int kind, double* parameters, int count);
void drawSolidSphere(double radius);
// Frees every entry (their lists died with the context that compiled them).
void clearShapeLists();
