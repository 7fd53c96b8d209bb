// Sampled LightWave motion written as one AnimationSet.
#pragma once

#include "core/context.h"
#include "model/scene.h"
#include "xfile/xwriter.h"

namespace torvo {

// kBadInput (message printed) when a sample list, or the scene's samples together, are too
// many; then nothing is written.
Status writeAnimationSet(const ConversionContext& context, const LwScene& scene, XWriter& out, int depth);

}  // namespace torvo
