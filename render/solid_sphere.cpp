#include "render/solid_sphere.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdlib>

ShapeListEntry* shapeListHeads[shapeKindCount];

unsigned int findShapeList(int kind, const double* parameters, int count) {
    for (const ShapeListEntry* entry = shapeListHeads[kind]; entry; entry = entry->next) {
        int k = 0;
        while (k < count && entry->parameters[k] == parameters[k]) ++k;
        if (k == count) return entry->listName;
    }
    return 0;
}

unsigned int addShapeList(int kind, double* parameters, int count) {
    ShapeListEntry* entry = static_cast<ShapeListEntry*>(std::malloc(sizeof(ShapeListEntry)));
    const unsigned int name = entry ? glGenLists(1) : 0;
    if (name == 0) {
        std::free(entry);
        std::free(parameters);
        return 0;
    }
    entry->listName = name;
    entry->next = shapeListHeads[kind];
    entry->parameterCount = count;
    entry->parameters = parameters;
    shapeListHeads[kind] = entry;
    return name;
}

static void tessellateSphere(double radius) {
    GLUquadric* quadric = gluNewQuadric();
    if (!quadric) return;
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluSphere(quadric, radius, 16, 16);
    gluDeleteQuadric(quadric);
}

void drawSolidSphere(double radius) {
    // A hit is looked up from the stack: no allocation per frame.
    const unsigned int found = findShapeList(solidSphereKind, &radius, 1);
    if (found != 0) {
        glCallList(found);
        return;
    }
    double* parameters = static_cast<double*>(std::malloc(sizeof(double)));
    if (parameters) *parameters = radius;
    const unsigned int name = parameters ? addShapeList(solidSphereKind, parameters, 1) : 0;
    if (name == 0) {
        // Nothing to cache into: still draw this frame's sphere.
        tessellateSphere(radius);
        return;
    }
    glNewList(name, GL_COMPILE_AND_EXECUTE);
    tessellateSphere(radius);
    glEndList();
}

void clearShapeLists() {
    for (ShapeListEntry*& head : shapeListHeads) {
        while (head) {
            ShapeListEntry* next = head->next;
            std::free(head->parameters);
            std::free(head);
            head = next;
        }
    }
}
