// Placeholder until this part lands.
#include "xscene/materials.h"

int collectMaterials(MaterialTable&, LwObject&, XWriter&, int) { return 0; }
