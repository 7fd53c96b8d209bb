// Double-sided copies, face normals and smoothing by angle.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "geometry/geometry.h"
#include "platform/pages.h"

namespace torvo {

namespace {

bool surfaceHas(const LwObject& object, const LwPolygon& polygon, std::uint16_t flag) {
  return (object.surfaces[static_cast<std::size_t>(polygon.surface)].flags & flag) != 0;
}

// Newell's method: stable for non-planar and concave outlines.
void faceNormal(const LwObject& object, const LwPolygon& polygon, float (&out)[3]) {
  double x = 0.0, y = 0.0, z = 0.0;
  const std::int32_t n = polygon.cornerCount;
  const std::uint32_t* corner = object.indices.data() + polygon.firstIndex;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t j = k + 1 < n ? k + 1 : 0;
    const LwPoint& a = object.points[object.vertices[corner[k]].point];
    const LwPoint& b = object.points[object.vertices[corner[j]].point];
    x += (double{a.y} - b.y) * (double{a.z} + b.z);
    y += (double{a.z} - b.z) * (double{a.x} + b.x);
    z += (double{a.x} - b.x) * (double{a.y} + b.y);
  }
  // Only a face without any direction falls back to +z. The terms are exact products of
  // float coordinates, so coincident or collinear corners sum to exactly zero, and any
  // other length, however small, is the true normal of a small face.
  const double length = std::sqrt(x * x + y * y + z * z);
  if (length > 0.0 && std::isfinite(length)) {
    out[0] = static_cast<float>(x / length);
    out[1] = static_cast<float>(y / length);
    out[2] = static_cast<float>(z / length);
  } else {
    out[0] = 0.0f;
    out[1] = 0.0f;
    out[2] = 1.0f;
  }
}

// A corner taken over by the smoothed normal being built; kept so that the step can
// be undone when the gathered normals cancel out.
struct TakenCorner {
  std::size_t position;    // in cornerNormals
  std::uint32_t previous;  // the entry it referred to before
};

// A surface's smoothing switch and its angle test, acos(d) <= angle. Away from the
// boundary the test compares d with cos(angle) instead; within kMargin of it (and for
// angles where the cosine is no faithful stand-in) acos decides, so every answer is
// the one acos gives. acos falls at least as steeply as d rises, so a d more than
// kMargin beyond cos(angle) has an acos far more than its rounding error from angle.
struct SmoothRule {
  bool smoothing = false;
  bool byCosine = false;
  double angle = 0.0;
  double cosine = 0.0;
};

constexpr double kMargin = 1e-9;

SmoothRule smoothRule(const LwSurface& surface) {
  SmoothRule rule;
  rule.smoothing = (surface.flags & kSurfaceSmoothing) != 0;
  rule.angle = surface.smoothingAngle;
  rule.byCosine = rule.angle >= 0.0 && rule.angle <= 3.0;
  if (rule.byCosine) rule.cosine = std::cos(rule.angle);
  return rule;
}

bool withinAngle(const SmoothRule& rule, double d) {
  if (rule.byCosine) {
    if (d > rule.cosine + kMargin) return true;
    if (d < rule.cosine - kMargin) return false;
  }
  return std::acos(d) <= rule.angle;
}

}  // namespace

bool lwDuplicateDoubleSided(LwObject& object, std::vector<std::uint32_t>* sourceOf) {
  std::size_t copies = 0;
  std::size_t corners = 0;
  for (const LwPolygon& polygon : object.polygons) {
    if (!surfaceHas(object, polygon, kSurfaceDoubleSided)) continue;
    ++copies;
    corners += static_cast<std::size_t>(polygon.cornerCount);
  }
  if (copies == 0) return false;

  const std::size_t originals = object.polygons.size();
  object.polygons.reserve(originals + copies);
  object.indices.reserve(object.indices.size() + corners);
  for (std::size_t i = 0; i < originals; ++i) {
    if (!surfaceHas(object, object.polygons[i], kSurfaceDoubleSided)) continue;
    LwPolygon copy = object.polygons[i];
    copy.kind = kPolygonFace;  // the back of a refined face has no limit normals of its own
    copy.firstIndex = static_cast<std::uint32_t>(object.indices.size());
    // Reversed corner order turns the face round.
    for (std::int32_t k = copy.cornerCount - 1; k >= 0; --k)
      object.indices.push_back(object.indices[object.polygons[i].firstIndex + k]);
    object.polygons.push_back(copy);
    if (!object.polygonLayers.empty()) object.polygonLayers.push_back(object.polygonLayers[i]);
  }
  if (sourceOf != nullptr) {
    sourceOf->resize(originals);
    for (std::uint32_t p = 0; p < originals; ++p) (*sourceOf)[p] = p;
    for (std::uint32_t p = 0; p < originals; ++p)
      if (surfaceHas(object, object.polygons[p], kSurfaceDoubleSided)) sourceOf->push_back(p);
  }
  return true;
}

namespace {

bool smoothNormals(LwObject& object) {
  const std::size_t polygonCount = object.polygons.size();
  std::vector<SmoothRule> rules;
  rules.reserve(object.surfaces.size());
  bool anySmoothed = false;
  for (const LwSurface& surface : object.surfaces) {
    rules.push_back(smoothRule(surface));
    anySmoothed = anySmoothed || rules.back().smoothing;
  }
  // Each smoothed corner adds at most one normal: the table is allocated once.
  std::size_t smoothedCorners = 0;
  if (anySmoothed) {
    for (const LwPolygon& polygon : object.polygons)
      if (rules[static_cast<std::size_t>(polygon.surface)].smoothing)
        smoothedCorners += static_cast<std::size_t>(polygon.cornerCount);
  }
  object.normals.clear();
  object.normals.reserve(polygonCount + smoothedCorners);
  platform::populateRoom(object.normals, polygonCount);
  object.cornerNormals.clear();
  object.cornerNormals.reserve(object.indices.size());
  platform::populateRoom(object.cornerNormals, object.indices.size());
  object.cornerNormals.resize(object.indices.size());

  for (std::uint32_t p = 0; p < polygonCount; ++p) {
    LwPolygon& polygon = object.polygons[p];
    faceNormal(object, polygon, polygon.normal);
    object.normals.push_back(LwNormal{polygon.normal[0], polygon.normal[1], polygon.normal[2], polygon.cornerCount});
    std::fill_n(object.cornerNormals.begin() + polygon.firstIndex, polygon.cornerCount, p);
  }

  if (!anySmoothed) return false;

  const auto faceCount = static_cast<std::uint32_t>(object.normals.size());
  std::vector<TakenCorner> taken;
  for (std::uint32_t p = 0; p < polygonCount; ++p) {
    const LwPolygon& polygon = object.polygons[p];
    const SmoothRule& rule = rules[static_cast<std::size_t>(polygon.surface)];
    if (!rule.smoothing) continue;
    const double own[3] = {polygon.normal[0], polygon.normal[1], polygon.normal[2]};
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k) {
      const std::size_t corner = polygon.firstIndex + static_cast<std::size_t>(k);
      if (object.cornerNormals[corner] >= faceCount) continue;
      const std::uint32_t vertex = object.indices[corner];
      const auto next = static_cast<std::uint32_t>(object.normals.size());
      std::int32_t count = 1;
      double sum[3] = {own[0], own[1], own[2]};
      taken.clear();

      for (const std::uint32_t q : lwVertexPolygons(object, vertex)) {
        if (q == p) continue;
        const LwPolygon& other = object.polygons[q];
        double d = own[0] * other.normal[0] + own[1] * other.normal[1] + own[2] * other.normal[2];
        d = std::clamp(d, -1.0, 1.0);
        if (!withinAngle(rule, d)) continue;
        ++count;
        sum[0] += other.normal[0];
        sum[1] += other.normal[1];
        sum[2] += other.normal[2];
        // A neighbour on an unsmoothed surface lends its normal but keeps its flat corner.
        if (!rules[static_cast<std::size_t>(other.surface)].smoothing) continue;
        const std::uint32_t* otherCorners = object.indices.data() + other.firstIndex;
        for (std::int32_t j = 0; j < other.cornerCount; ++j) {
          if (otherCorners[j] != vertex) continue;
          const std::size_t otherCorner = other.firstIndex + static_cast<std::size_t>(j);
          const std::uint32_t previous = object.cornerNormals[otherCorner];
          if (previous != next) {
            --object.normals[previous].useCount;
            object.cornerNormals[otherCorner] = next;
            taken.push_back(TakenCorner{otherCorner, previous});
          }
          break;
        }
      }
      if (count <= 1) continue;

      const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
      if (!(length > 0.0)) {
        // Opposite faces cancel out: every corner keeps its own face normal.
        for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
          object.cornerNormals[it->position] = it->previous;
          ++object.normals[it->previous].useCount;
        }
        continue;
      }
      --object.normals[object.cornerNormals[corner]].useCount;
      platform::populateGrowth(object.normals, 1);
      object.normals.push_back(LwNormal{static_cast<float>(sum[0] / length), static_cast<float>(sum[1] / length),
                                        static_cast<float>(sum[2] / length), count});
      object.cornerNormals[corner] = next;
    }
  }
  return true;
}

// Faces refined from patches take the limit surface's normal at each corner, one table
// entry per point.
bool takeLimitNormals(LwObject& object) {
  if (object.limitNormals.empty()) return false;
  std::vector<std::uint32_t> entryOf(object.limitNormals.size(), 0xFFFFFFFF);
  bool taken = false;
  for (const LwPolygon& polygon : object.polygons) {
    if (polygon.kind != kPolygonRefined) continue;
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k) {
      const std::size_t corner = polygon.firstIndex + static_cast<std::size_t>(k);
      const std::uint32_t point = object.vertices[object.indices[corner]].point;
      if (point >= object.limitNormals.size()) continue;
      const LwPoint& n = object.limitNormals[point];
      if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) continue;
      if (entryOf[point] == 0xFFFFFFFF) {
        entryOf[point] = static_cast<std::uint32_t>(object.normals.size());
        object.normals.push_back(LwNormal{n.x, n.y, n.z, 0});
      }
      --object.normals[object.cornerNormals[corner]].useCount;
      object.cornerNormals[corner] = entryOf[point];
      ++object.normals[entryOf[point]].useCount;
      taken = true;
    }
  }
  return taken;
}

}  // namespace

bool lwComputeNormals(LwObject& object) {
  const bool smoothed = smoothNormals(object);
  return takeLimitNormals(object) || smoothed;
}

}  // namespace torvo
