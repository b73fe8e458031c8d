#include "render/solid_sphere.h"

#include <GL/gl.h>

#include <cstdlib>

#include "render/draw_frame.h"
#include "tests/render_test_support.h"

static int entryCount(int kind) {
    int count = 0;
    for (const ShapeListEntry* entry = shapeListHeads[kind]; entry; entry = entry->next) ++count;
    return count;
}

static double* mallocParameters(double first, double second) {
    double* parameters = static_cast<double*>(std::malloc(2 * sizeof(double)));
    parameters[0] = first;
    parameters[1] = second;
    return parameters;
}

static const double radius[] = {1.5};
static const double radiusAndSeven[] = {1.5, 7.0};
static const double radiusAndEight[] = {1.5, 8.0};
static const double nextAfterRadius[] = {1.5000000000000002};

class SolidSphere : public GlTest {};

TEST_F(SolidSphere, FirstDrawCachesOneList) {
    drawSolidSphere(1.5);
    ASSERT_EQ(entryCount(solidSphereKind), 1);
    const ShapeListEntry& entry = *shapeListHeads[solidSphereKind];
    EXPECT_NE(entry.listName, 0u);
    EXPECT_TRUE(glIsList(entry.listName));
    EXPECT_EQ(entry.parameterCount, 1);
    EXPECT_EQ(entry.parameters[0], 1.5);
}

TEST_F(SolidSphere, SameRadiusReusesItsList) {
    drawSolidSphere(1.5);
    const unsigned int first = shapeListHeads[solidSphereKind]->listName;
    drawSolidSphere(1.5);
    drawSolidSphere(1.5);
    EXPECT_EQ(entryCount(solidSphereKind), 1);
    EXPECT_EQ(shapeListHeads[solidSphereKind]->listName, first);
}

TEST_F(SolidSphere, NewRadiusIsFoundFirstAndOldOneReused) {
    drawSolidSphere(1.5);
    const unsigned int small = findShapeList(solidSphereKind, radius, 1);
    drawSolidSphere(2.0);
    ASSERT_EQ(entryCount(solidSphereKind), 2);
    const ShapeListEntry& newest = *shapeListHeads[solidSphereKind];
    EXPECT_EQ(newest.parameters[0], 2.0);
    EXPECT_NE(newest.listName, small);
    EXPECT_EQ(newest.next->listName, small);
    // back to 1.5: found behind the newer entry, nothing added
    drawSolidSphere(1.5);
    EXPECT_EQ(entryCount(solidSphereKind), 2);
    EXPECT_EQ(findShapeList(solidSphereKind, radius, 1), small);
}

TEST_F(SolidSphere, LookupComparesExactlyAndOnlyTheGivenCount) {
    const unsigned int name = addShapeList(solidSphereKind, mallocParameters(1.5, 7.0), 2);
    ASSERT_NE(name, 0u);
    // the entry's own count is not compared
    EXPECT_EQ(findShapeList(solidSphereKind, radius, 1), name);
    EXPECT_EQ(findShapeList(solidSphereKind, radiusAndSeven, 2), name);
    EXPECT_EQ(findShapeList(solidSphereKind, radiusAndEight, 2), 0u);
    // no tolerance: the next double up is another sphere
    EXPECT_EQ(findShapeList(solidSphereKind, nextAfterRadius, 1), 0u);
}

TEST_F(SolidSphere, ReplacedContextCompilesTheSphereAgain) {
    drawSolidSphere(1.5);
    drawSolidSphere(2.0);
    replaceContext();
    EXPECT_EQ(shapeListHeads[solidSphereKind], nullptr);
    drawSolidSphere(1.5);
    ASSERT_EQ(entryCount(solidSphereKind), 1);
    EXPECT_TRUE(glIsList(shapeListHeads[solidSphereKind]->listName));
}

TEST_F(SolidSphere, NoListNameAddsNoEntry) {
    // An entry named 0 would never be found again: one more every frame.
    releaseTestContext();
    drawSolidSphere(1.5);
    drawSolidSphere(1.5);
    EXPECT_EQ(entryCount(solidSphereKind), 0);
    EXPECT_EQ(addShapeList(solidSphereKind, mallocParameters(1.5, 0.0), 1), 0u);
    EXPECT_EQ(entryCount(solidSphereKind), 0);
    restoreTestContext();
    drawSolidSphere(1.5);
    EXPECT_EQ(entryCount(solidSphereKind), 1);
}
