// Placeholder until this part lands.
#include "xscene/mesh.h"

int writeMesh(const MaterialTable&, const LwObject&, XWriter&, int) { return 0; }
