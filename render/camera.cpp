#include "render/camera.h"

CameraState Camera;
