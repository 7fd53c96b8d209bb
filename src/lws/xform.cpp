// Placeholder until this part lands.
#include "lws/xform.h"

Quat quatFromAngles(double, double, double) { return {}; }
Mat4 itemMatrix(const MotionKey&, const float*) { return {}; }
