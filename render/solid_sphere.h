#pragma once
// solid_sphere.h -- a filled sphere, tessellated once per radius into a display list.

// One cached display list; entries of a kind form a list, newest first.
struct ShapeListEntry {
    unsigned int listName;
    ShapeListEntry* next;
    int parameterCount;
    double* parameters;  // owned by the entry (malloc'd)
};

constexpr int solidSphereKind = 0;
constexpr int shapeKindCount = 1;
extern ShapeListEntry* shapeListHeads[shapeKindCount];

// The list of the newest entry of kind whose first count parameters equal these
// exactly (double ==), or 0 when there is none.
unsigned int findShapeList(int kind, const double* parameters, int count);
// Adds an entry in front of kind's list with a fresh list name and returns that
// name. Takes ownership of parameters, a malloc'd array of count values. Returns
// 0 and adds nothing (freeing parameters) when there is no memory or no list
// name: an entry named 0 would never be found and one would pile up every frame.
unsigned int addShapeList(int kind, double* parameters, int count);
// Centred at the current origin, smooth normals, 16 slices and 16 stacks. The
// first call for a radius compiles its list while drawing it; later calls replay it.
void drawSolidSphere(double radius);
// Frees every entry (their lists died with the context that compiled them).
void clearShapeLists();
