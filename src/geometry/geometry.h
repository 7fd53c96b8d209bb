// The steps that derive geometry from an object as read: double-sided copies, vertex
// links, normals and smoothing, and texture coordinates (projected or from UV maps).
#pragma once

#include <cstdint>
#include <vector>

#include "core/context.h"
#include "model/object.h"

namespace torvo {

// Every step in order, each reported on the progress line: subdivision of the patches at
// the level given (0: none), double-sided copies (unless dissolved), vertex links, then
// (unless dissolved) normals and texture coordinates.
// Running out of memory throws std::bad_alloc, which fails the whole conversion.
void lwPrepareObject(LwObject& object, bool doNormals, bool doTexCoords, bool wrapSeams, const MessageSink& sink,
                    int subPatchLevel = 0);
// The same with the context's options; fits the scene reader's object hook.
void lwPrepareObjectFor(LwObject& object, const ConversionContext& context);

// A refined object stays within this many faces: its level is lowered until it does.
constexpr unsigned kMaxRefinedFaces = 1000000;
// The level an object's patches take: -S's, else the scene's display or render value.
int lwSubPatchLevelFor(const LwObject& object, const ConvertOptions& options);
// Replaces the PTCH and SUBD cages of an object as read by the limit surface at a level
// (PTCH: N x N quads per quad; SUBD: N Catmull-Clark steps), with limit normals and the
// vertex maps interpolated. True when it refined; warns when the level had to be lowered.
bool lwSubdivideObject(LwObject& object, int level, const MessageSink& sink);

// The steps one by one. Copies of double-sided polygons are appended in the order of the
// polygons they copy; sourceOf (when given) then names the polygon each polygon copies
// (itself for an original). True when copies were made.
bool lwDuplicateDoubleSided(LwObject& object, std::vector<std::uint32_t>* sourceOf = nullptr);
void lwLinkVertices(LwObject& object);
// True when it smoothed.
bool lwComputeNormals(LwObject& object);
void lwComputeTextureCoords(LwObject& object, bool wrapSeams);
// Coordinates from each surface's UV map and colours from its colour map: a polygon's own
// (VMAD) value at a corner, else the point's (VMAP), else (0, 0) and opaque black; a copy
// takes the values of the polygon it copies.
void lwComputeMapCoords(LwObject& object, const std::vector<std::uint32_t>& sourceOf);
std::uint32_t lwAssignCornerUV(LwObject& object, std::uint32_t polygon, int corner, double u, double v);

// The changes the texture steps make to a vertex's polygon list.
void lwAddVertexPolygon(LwObject& object, std::uint32_t vertex, std::uint32_t polygon);
void lwRemoveVertexPolygon(LwObject& object, std::uint32_t vertex, std::uint32_t polygon);

}  // namespace torvo
