#pragma once
// accumulate_forces.h -- the total force on every node for one step.
// Called once per frame, before the pins are saved. Runs the wind pass first,
// then every spring from both ends into its slots, then sums the slots (and the
// wind while windEnabled is on) into force, which must be zero on entry.
// Moves nothing.
void accumulateForces();
