#pragma once
// integrate_cloth.h -- one time step: pins, integration with sphere collision,
// copy-back. drawFrame calls these in this order, with the sphere drawn between
// savePinnedNodes and integrateCloth.

constexpr double collisionRadius = 1.55;   // double on purpose: compared with a double distance
constexpr double restitution = 0.3;        // applied in double after the float damping
constexpr float minimumLength = 0.0000001f; // replaces a zero speed or sphere-normal length

// While pinsEnabled: zero the pinned nodes' force and save their whole records.
void savePinnedNodes();
// Semi-implicit Euler step of every node, sphere collision included; the new
// state is staged in nextGrid.
void integrateCloth();
// Copies the staged state back, clears every force, acceleration and normal sum.
void commitNextGrid();
// While pinsEnabled: put the saved pinned records back.
void restorePinnedNodes();
