#pragma once
// camera.h -- the view every frame is drawn from. The keys (app/) move it; nothing
// else, not even a reset or a new window, changes it.

struct CameraState {
    float pitch;  // degrees about x, kept within -90 .. 90
    float yaw;    // degrees about y, unbounded
    float x, y, z;  // translation of the scene, applied as stored
};
extern CameraState Camera;
