// Placeholder until this part lands.
#include "lwo/object.h"

void lwDuplicateDoubleSided(LwObject&) {}
void lwComputeNormals(LwObject&) {}
