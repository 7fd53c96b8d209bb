// Placeholder until this part lands.
#include "lwo/object.h"

void lwSetMappingKind(LwTexture& t, std::string_view) { t.mapping = 0; }
