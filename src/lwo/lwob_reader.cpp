// Placeholder until this part lands.
#include "lwo/object.h"

int lwLoadObject(LwObject&, std::FILE*, int, bool, bool, bool) { return -1; }
int lwLoadObjectFromMemory(LwObject&, const std::uint8_t*, std::size_t, int, bool, bool, bool) { return -1; }
void lwReleaseObject(LwObject&) {}
void lwDisposeObject(LwObject&) {}
void lwLinkVertices(LwObject&) {}
