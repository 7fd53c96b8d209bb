// Scene body: materials, the frame tree with matrices and meshes, the animation set.
#pragma once

#include <string>
#include <string_view>

#include "core/context.h"
#include "model/scene.h"
#include "xfile/xwriter.h"
#include "xscene/materials.h"

// 0 on success, negative when the animation cannot be written (the message is printed).
int writeScene(const ConversionContext& context, MaterialTable& table, LwScene& scene, XWriter& out);
// The templates beyond the usual ones (ExtraTemplates bits) that the scene's meshes use:
// vertex colours, and skins where bones deform a written mesh.
unsigned sceneTemplates(const ConversionContext& context, const LwScene& scene);
int writeFrames(const ConversionContext& context, MaterialTable& table, LwScene& scene, XWriter& out,
                int parentNumber, int depth);
// Name of the item's Frame (also the name its Animation refers to), at most 79 characters.
std::string frameName(std::string_view prefix, const LwObject& item);
// TopFrame around a scene's frames or one object's mesh (exactly one of them non-null).
int writeTopFrame(const ConversionContext& context, MaterialTable& table, LwScene* scene, LwObject* object,
                  XWriter& out);
