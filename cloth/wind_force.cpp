#include "cloth/wind_force.h"
float dotProduct(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
void computeWindForces() {}
