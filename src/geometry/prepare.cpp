#include <new>

#include "geometry/geometry.h"

namespace torvo {

namespace {

void prepare(LwObject& object, bool doNormals, bool doTexCoords, bool wrapSeams, const MessageSink& sink,
            int subPatchLevel) {
  if (lwSubdivideObject(object, subPatchLevel, sink)) report(sink, Message::kSubdivision);
  std::vector<std::uint32_t> sourceOf;
  if (object.dissolve < 1.0 && lwDuplicateDoubleSided(object, &sourceOf)) report(sink, Message::kDuplicateDoubleSided);
  lwLinkVertices(object);
  if (object.dissolve >= 1.0) return;
  if (doNormals) {
    report(sink, Message::kNormals);
    if (lwComputeNormals(object)) report(sink, Message::kSmoothing);
  }
  if (!doTexCoords) return;
  report(sink, Message::kTextureCoords);
  lwComputeTextureCoords(object, wrapSeams);
  lwComputeMapCoords(object, sourceOf);
}

}  // namespace

void lwPrepareObject(LwObject& object, bool doNormals, bool doTexCoords, bool wrapSeams, const MessageSink& sink,
                    int subPatchLevel) {
  prepare(object, doNormals, doTexCoords, wrapSeams, sink, subPatchLevel);
}

void lwPrepareObjectFor(LwObject& object, const ConversionContext& context) {
  lwPrepareObject(object, context.options.noNormals == 0, true, context.options.textureWrap != 0, context.sink,
                         lwSubPatchLevelFor(object, context.options));
}

}  // namespace torvo
