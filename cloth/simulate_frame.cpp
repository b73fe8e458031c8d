#include "cloth/simulate_frame.h"
void simulateClothFrame() {}
