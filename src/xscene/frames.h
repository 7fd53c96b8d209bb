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
// One warning naming every frame, mesh and material name too long for engines, and what
// it was shortened to.
void warnShortenedNames(const ConversionContext& context, const MaterialTable& table, const LwScene* scene,
                        const LwObject* object, bool binary);
int writeFrames(const ConversionContext& context, MaterialTable& table, LwScene& scene, XWriter& out,
                int parentNumber, int depth);
// TopFrame around a scene's frames or one object's mesh (exactly one of them non-null).
int writeTopFrame(const ConversionContext& context, MaterialTable& table, LwScene* scene, LwObject* object,
                  XWriter& out);
