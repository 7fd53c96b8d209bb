// Re-sampled LightWave motion written as one AnimationSet.
#pragma once

#include <cstdint>
#include <vector>

#include "core/context.h"
#include "lws/scene.h"
#include "xfile/xwriter.h"

// One item's samples may not pass this many frames (a hostile frame range or key
// count would otherwise run for hours).
constexpr std::size_t kMaxSamplesPerItem = 10'000'000;
// Nor may a whole scene pass this many (many items just under the limit each would
// still write for hours).
constexpr std::size_t kMaxSamplesPerScene = 50'000'000;

// The sorted, distinct frames at which an item's motion is evaluated.
// Negative when the list would pass kMaxSamplesPerItem.
int animationSampleFrames(const LwScene& scene, const LwObject& item, std::vector<std::int32_t>& frames);

// 0 on success; negative (message printed) when a sample list, or the scene's samples
// together, are too many; then nothing is written.
int writeAnimationSet(const ConversionContext& context, const LwScene& scene, XWriter& out, int depth);
int writeAnimation(const ConversionContext& context, const LwScene& scene, int index, XWriter& out, int depth);
