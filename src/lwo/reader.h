// The object readers: FORM/LWOB, FORM/LWO2 and FORM/LWO3 files into the object model, as read.
// The geometry steps (lwPrepareObject) derive the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "core/context.h"
#include "core/status.h"
#include "model/object.h"

namespace torvo {

// Reads a FORM/LWOB, FORM/LWO2 or FORM/LWO3 object from a stream positioned at "FORM".
// kNotThisFormat (message given) when the stream holds no LightWave object.
Status lwLoadObject(LwObject& object, std::FILE* file, int indent, const MessageSink& sink);
// The same from a whole file already in memory (data starts at "FORM").
Status lwLoadObjectFromMemory(LwObject& object, const std::uint8_t* data, std::size_t size, int indent,
                           const MessageSink& sink);

// The same for one layer: `layer` counts from 1 as a scene's LoadObjectLayer does (the
// LAYR number + 1); a negative layer loads them all, as lwLoadObject does. An LWOB object
// is layer 1 as a whole; any other layer of it, or a layer the file lacks, loads no geometry.
inline constexpr int kAllLayers = -1;
Status lwLoadObjectLayer(LwObject& object, std::FILE* file, int indent, int layer, const MessageSink& sink);
Status lwLoadObjectLayerFromMemory(LwObject& object, const std::uint8_t* data, std::size_t size, int indent, int layer,
                                const MessageSink& sink);

// What a scene's caller does with each object the scene loads, right after it is read (its
// progress words follow the object's name on the console): the geometry steps, which
// the readers know nothing of. Null keeps the objects as read.
using LwObjectFinish = void (*)(LwObject& object, const ConversionContext& context);

// A CTEX text to its mapping kind.
void lwSetMappingKind(LwTexture& texture, std::string_view text);

}  // namespace torvo
