#include "ready/items.h"

#include "core/options.h"
#include "model/skeleton.h"
#include "ready/names.h"
#include "xfile/header.h"

namespace torvo {

namespace {

// The skin of the item with its frames' names; false (warnings printed) when it has none.
bool readySkin(const ConversionContext& context, const LwScene& scene, std::size_t position, MeshSkin& skin) {
  skin.names.clear();
  if (!lwBuildMeshSkin(context, scene, position, skin.skin)) return false;
  for (const std::int32_t item : skin.skin.items)
    skin.names.push_back(frameName(context.options.framePrefix, *scene.items[static_cast<std::size_t>(item)]));
  const std::vector<std::uint32_t>& first = skin.skin.weights.first;
  skin.usedEntries = 0;
  for (std::size_t e = 0; e + 1 < first.size(); ++e) skin.usedEntries += first[e + 1] > first[e] ? 1 : 0;
  return true;
}

// The item's frame at the first frame, placed against its parent's pivot.
Mat4 firstFrameMatrix(const LwScene& scene, const LwObject& item) {
  if (item.motionKeys.empty()) return Mat4();
  const float* pivot = lwPivotOf(scene, item.parentItem);
  return lwIsBone(item.bone) ? lwBonePoseMatrix(item.bone, item.motionKeys[0], pivot)
                             : itemMatrix(item.motionKeys[0], pivot);
}

}  // namespace

SceneFeed sceneFeed(const ConversionContext& context, const MaterialTable& table, LwScene& scene) {
  SceneFeed feed;
  feed.context = &context;
  feed.table = &table;
  feed.scene = &scene;
  return feed;
}

const ReadyItem& readyItem(SceneFeed& feed, std::size_t position) {
  const ConversionContext& context = *feed.context;
  LwScene& scene = *feed.scene;
  LwObject& item = *scene.items[position];
  ReadyItem& ready = feed.item;
  ready = ReadyItem();
  const bool deformed = lwMeshIsSkinned(context, scene, position);
  if (deformed) lwLayOutSkinnedMesh(item, context.options.noNormals == 0);
  ready.skinned = deformed && readySkin(context, scene, position, ready.skin);
  ready.framed = context.options.meshesOnly == 0 && item.dissolve < 1.0;
  if (ready.framed) ready.matrix = firstFrameMatrix(scene, item);
  readyMesh(context, *feed.table, item, ready.skinned, ready.mesh);
  return ready;
}

void itemWritten(SceneFeed& feed, std::size_t position) {
  feed.item = ReadyItem();
  lwReleaseObject(*feed.scene->items[position]);
}

unsigned sceneTemplates(const ConversionContext& context, const LwScene& scene) {
  unsigned extras = lwSceneHasSkin(context, scene) ? unsigned{kTemplatesSkin} : 0u;
  for (const auto& item : scene.items)
    extras |= meshWritten(*item) && meshHasVertexColors(*item) ? kTemplatesVertexColors : 0u;
  return extras;
}

void warnShortenedNames(const ConversionContext& context, const MaterialTable& table, const LwScene* scene,
                        const LwObject* object, bool binary) {
  const ConvertOptions& opts = context.options;
  std::vector<std::string> shortened = table.shortened;
  auto note = [&](const LwObject& item, bool framed) {
    if (framed && opts.meshesOnly == 0 && item.dissolve < 1.0)
      noteName(shortened, frameName(opts.framePrefix, item), binary, context.codePage);
    if (meshWritten(item)) noteName(shortened, meshName(opts.framePrefix, item), binary, context.codePage);
  };
  if (scene != nullptr) {
    for (const auto& item : scene->items) note(*item, true);
  }
  if (object != nullptr) note(*object, false);
  sayShortenedNames(context.sink, shortened, binary, context.codePage);
}

bool animationWritten(const ConversionContext& context, const LwScene& scene) {
  if (context.options.noAnimation != 0 || context.options.meshesOnly != 0) return false;
  for (const auto& item : scene.items)
    if (lwItemMoves(*item)) return true;
  return false;
}

Status readyAnimation(const ConversionContext& context, const LwScene& scene) {
  std::size_t total = 0;
  std::vector<std::int32_t> frames;
  for (const auto& item : scene.items) {
    if (item->motionKeys.empty()) continue;
    if (!ok(animationSampleFrames(scene, *item, frames))) {
      report(context.sink, Message::kAnimationTooLong, item->name, 0, kMaxSamplesPerItem);
      return Status::kBadInput;
    }
    total += frames.size();
    if (total > kMaxSamplesPerScene) {
      report(context.sink, Message::kSceneAnimationTooLong, 0, kMaxSamplesPerScene);
      return Status::kBadInput;
    }
  }
  return Status::kOk;
}

Status readyTrack(const ConversionContext& context, const LwScene& scene, std::size_t position, ItemTrack& track) {
  const LwObject& item = *scene.items[position];
  const Status sampled = animSampleTrack(scene, item, track);
  if (!ok(sampled)) report(context.sink, Message::kAnimationTooLong, item.name, 0, kMaxSamplesPerItem);
  return sampled;
}

}  // namespace torvo
