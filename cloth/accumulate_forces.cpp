#include "cloth/accumulate_forces.h"
void accumulateForces() {}
