// The model's cross-references checked once after reading: every index names what it
// should, so the steps after the readers trust them. A broken one is a fault of a reader,
// never of the input, and ends the conversion as an internal error.
#pragma once

#include <string>

#include "model/object.h"
#include "model/scene.h"

namespace torvo {

// The first broken reference found; `what` is empty when there is none.
struct ModelFault {
  std::string what;
  bool ok() const { return what.empty(); }
};

// Corners name vertices (and normals when there are normals), vertices name points and
// polygon-list runs, polygons have three corners or more and name a surface, surfaces
// name vertex maps, skelegons name points; the per-vertex and per-point tables match.
ModelFault validateObject(const LwObject& object);
// Every item as an object, and the items' references to each other: parent, target and
// morph target, the owner of a bone, the object whose bones deform another.
ModelFault validateScene(const LwScene& scene);

}  // namespace torvo
