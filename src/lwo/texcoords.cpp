// Placeholder until this part lands.
#include "lwo/object.h"

void lwComputeTextureCoords(LwObject&, bool) {}
std::uint32_t lwAssignCornerUV(LwObject&, std::uint32_t, int, double, double) { return 0; }
