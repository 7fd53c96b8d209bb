// Point weights as LightWave's bones give them, then spread to the vertices written for
// each point (split vertices included).
#include "geometry/skin.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace {

// Faster Bones keeps this many bones for a point.
constexpr std::size_t kFasterBones = 4;
// Keeps the falloff finite at a bone; inside an inner range a field outweighs any falloff.
constexpr double kNearField = 1e-24;
constexpr double kInnerField = 1e28;

double smoothStep(double t) {
  t = std::clamp(t, 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// A bone as the weighing needs it: its rest segment and its settings.
struct Segment {
  double origin[3];
  double axis[3];  // base to tip
  double axisLengthSquared;
  const LwBone* bone;
  const std::vector<float>* map;  // the named weight map's value per point, or null
};

double distanceTo(const Segment& s, const LwPoint& p) {
  const double d[3] = {p.x - s.origin[0], p.y - s.origin[1], p.z - s.origin[2]};
  double t = 0.0;
  if (s.axisLengthSquared > 0.0) {
    t = std::clamp((d[0] * s.axis[0] + d[1] * s.axis[1] + d[2] * s.axis[2]) / s.axisLengthSquared, 0.0, 1.0);
  }
  const double e[3] = {d[0] - t * s.axis[0], d[1] - t * s.axis[1], d[2] - t * s.axis[2]};
  return std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
}

bool deforms(const LwBone& bone) { return bone.active && bone.strength != 0.0 && std::isfinite(bone.strength); }

// Faster Bones, as measured: the fifth-strongest field is taken off every field.
void keepFourStrongest(std::vector<double>& field) {
  std::vector<double> sorted;
  for (const double f : field)
    if (f > 0.0) sorted.push_back(f);
  if (sorted.size() <= kFasterBones) return;
  std::nth_element(sorted.begin(), sorted.begin() + kFasterBones, sorted.end(), std::greater<>());
  const double fifth = sorted[kFasterBones];
  for (double& f : field) {
    f = std::max(f - fifth, 0.0);
    if (f < FLT_EPSILON) f = 0.0;
  }
}

// One point's weights (bones, then the share left to the object) into w.
// Returns true when they summed above 1 and were scaled down.
bool weighPoint(const std::vector<Segment>& segments, const LwSkeleton& settings, const LwPoint& point,
                std::uint32_t index, std::vector<double>& field, std::vector<double>& fixed,
                std::vector<double>& distance, std::vector<double>& w) {
  const std::size_t n = segments.size();
  for (std::size_t b = 0; b < n; ++b) {
    const Segment& s = segments[b];
    const LwBone& bone = *s.bone;
    field[b] = fixed[b] = 0.0;
    if (!deforms(bone)) continue;
    const double mapValue = s.map != nullptr ? (*s.map)[index] : 1.0;
    if (bone.weightMapOnly && s.map != nullptr) {
      (bone.normalize ? field[b] : fixed[b]) = std::max(mapValue, 0.0);
      continue;
    }
    const double d = distance[b] = distanceTo(s, point);
    const double strength = bone.strength * (bone.scaleStrength ? bone.restLength : 1.0) * mapValue;
    double f = strength * lwBoneFalloff(d, settings.falloff);
    if (bone.limitedRange) {
      if (d >= bone.maxRange) f = 0.0;
      else if (d < bone.minRange) f = strength * kInnerField * smoothStep(1.0 - d / bone.minRange);
    }
    field[b] = std::isfinite(f) ? std::max(f, 0.0) : 0.0;
  }
  if (settings.fasterBones) keepFourStrongest(field);
  const double sum = std::accumulate(field.begin(), field.end(), 0.0);
  double total = 0.0;
  for (std::size_t b = 0; b < n; ++b) {
    double weight = sum > 0.0 && std::isfinite(sum) ? field[b] / sum : 0.0;
    const LwBone& bone = *segments[b].bone;
    // Between the ranges the bone's share fades out towards the outer one.
    if (weight > 0.0 && bone.limitedRange && !(bone.weightMapOnly && segments[b].map != nullptr) &&
        distance[b] > bone.minRange && bone.maxRange > bone.minRange) {
      weight *= smoothStep((bone.maxRange - distance[b]) / (bone.maxRange - bone.minRange));
    }
    w[b] = std::isfinite(weight + fixed[b]) ? weight + fixed[b] : 0.0;
    total += w[b];
  }
  double kept = 0.0;
  for (std::size_t b = 0; b < n; ++b) {
    if (w[b] < kSmallestWeight) w[b] = 0.0;
    kept += w[b];
  }
  if (kept > 0.0 && kept < total) {
    for (std::size_t b = 0; b < n; ++b) w[b] *= total / kept;
  }
  total = kept > 0.0 ? total : 0.0;
  const bool above = total > 1.0 + kSmallestWeight;
  if (above) {
    for (std::size_t b = 0; b < n; ++b) w[b] /= total;
    total = 1.0;
  }
  w[n] = total < 1.0 - kSmallestWeight ? 1.0 - total : 0.0;
  return above;
}

// Keeps the `limit` largest weights of w (bones and the object's share), renormalized.
void keepStrongest(std::vector<double>& w, std::uint32_t limit, std::vector<std::size_t>& order) {
  order.clear();
  for (std::size_t e = 0; e < w.size(); ++e)
    if (w[e] > 0.0) order.push_back(e);
  if (order.size() <= limit) return;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return w[a] > w[b]; });
  double kept = 0.0;
  for (std::size_t i = 0; i < limit; ++i) kept += w[order[i]];
  for (std::size_t i = limit; i < order.size(); ++i) w[order[i]] = 0.0;
  for (std::size_t i = 0; i < limit; ++i) w[order[i]] /= kept;
}

}  // namespace

// The SDK describes the stored falloff type t as the exponent 2^t (inverse distance, ^2,
// ^4, ... ^128); measured against LightWave 9.6, the stored value itself is the exponent
// (real files store 5, 6 and 8). The measured reading is used.
double lwBoneFalloff(double distance, std::int32_t type) { return 1.0 / (std::pow(distance, type) + kNearField); }

void lwComputeSkin(const LwObject& object, const std::vector<LwSkinBone>& bones, const LwSkeleton& settings,
                   std::uint32_t limit, LwSkinWeights& out) {
  out = LwSkinWeights();
  const std::size_t n = bones.size();
  const std::size_t pointCount = object.points.size();
  // Each named map once, as a value per point (0 where the map has none).
  std::unordered_map<std::string, std::vector<float>> maps;
  std::vector<Segment> segments(n);
  for (std::size_t b = 0; b < n; ++b) {
    const Mat4& r = bones[b].rest;
    const LwBone& bone = *bones[b].bone;
    Segment& s = segments[b];
    const double length = std::isfinite(bone.restLength) ? bone.restLength : 0.0;
    for (int i = 0; i < 3; ++i) {
      s.origin[i] = r.m[i][3];
      s.axis[i] = r.m[i][2] * length;
    }
    s.axisLengthSquared = s.axis[0] * s.axis[0] + s.axis[1] * s.axis[1] + s.axis[2] * s.axis[2];
    s.bone = &bone;
    s.map = nullptr;
    if (bone.weightMap.empty()) continue;
    auto found = maps.find(bone.weightMap);
    if (found == maps.end()) {
      const LwVertexMap* map = nullptr;
      for (const LwVertexMap& m : object.vertexMaps)
        if (m.type == lwId("WGHT") && m.name == bone.weightMap) map = &m;
      if (map == nullptr) {
        out.missingMaps.push_back(bone.weightMap);
        continue;
      }
      std::vector<float> values(pointCount, 0.0f);
      for (const LwMapValue& v : map->points)
        if (v.point < pointCount) values[v.point] = v.value[0];
      found = maps.emplace(bone.weightMap, std::move(values)).first;
    }
    s.map = &found->second;
  }
  std::sort(out.missingMaps.begin(), out.missingMaps.end());
  out.missingMaps.erase(std::unique(out.missingMaps.begin(), out.missingMaps.end()), out.missingMaps.end());

  // Every point once: its entries in a pool, first[p] .. first[p + 1].
  std::vector<std::uint32_t> pointFirst(pointCount + 1, 0);
  std::vector<std::uint32_t> pointEntry;
  std::vector<float> pointWeight;
  std::vector<double> field(n), fixed(n), distance(n), w(n + 1);
  std::vector<std::size_t> order;
  std::vector<char> used(pointCount, 0);
  for (const LwVertex& v : object.vertices)
    if (v.point < pointCount) used[v.point] = 1;
  for (std::uint32_t p = 0; p < pointCount; ++p) {
    pointFirst[p] = static_cast<std::uint32_t>(pointEntry.size());
    if (used[p] == 0) continue;
    if (weighPoint(segments, settings, object.points[p], p, field, fixed, distance, w)) ++out.normalizedPoints;
    if (limit > 0) keepStrongest(w, limit, order);
    std::uint32_t count = 0;
    for (std::size_t e = 0; e <= n; ++e) {
      if (w[e] <= 0.0) continue;
      pointEntry.push_back(static_cast<std::uint32_t>(e));
      pointWeight.push_back(static_cast<float>(w[e]));
      ++count;
    }
    out.maxPerVertex = std::max(out.maxPerVertex, count);
  }
  pointFirst[pointCount] = static_cast<std::uint32_t>(pointEntry.size());

  // Counted, then laid out by entry in vertex order.
  out.first.assign(n + 2, 0);
  for (const LwVertex& v : object.vertices) {
    if (v.point >= pointCount) continue;
    for (std::uint32_t i = pointFirst[v.point]; i < pointFirst[v.point + 1]; ++i) ++out.first[pointEntry[i] + 1];
  }
  std::partial_sum(out.first.begin(), out.first.end(), out.first.begin());
  out.vertices.resize(out.first.back());
  out.weights.resize(out.first.back());
  std::vector<std::uint32_t> fill(out.first.begin(), out.first.end() - 1);
  for (std::uint32_t vertex = 0; vertex < object.vertices.size(); ++vertex) {
    const std::uint32_t p = object.vertices[vertex].point;
    if (p >= pointCount) continue;
    for (std::uint32_t i = pointFirst[p]; i < pointFirst[p + 1]; ++i) {
      const std::uint32_t at = fill[pointEntry[i]]++;
      out.vertices[at] = vertex;
      out.weights[at] = pointWeight[i];
    }
  }

  // The most entries among the corners of one face.
  std::vector<std::uint32_t> stamp(n + 1, 0xFFFFFFFFu);
  for (std::uint32_t f = 0; f < object.polygons.size(); ++f) {
    const LwPolygon& polygon = object.polygons[f];
    std::uint32_t count = 0;
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k) {
      const std::size_t corner = polygon.firstIndex + static_cast<std::size_t>(k);
      if (corner >= object.indices.size() || object.indices[corner] >= object.vertices.size()) continue;
      const std::uint32_t p = object.vertices[object.indices[corner]].point;
      if (p >= pointCount) continue;
      for (std::uint32_t i = pointFirst[p]; i < pointFirst[p + 1]; ++i) {
        if (stamp[pointEntry[i]] == f) continue;
        stamp[pointEntry[i]] = f;
        ++count;
      }
    }
    out.maxPerFace = std::max(out.maxPerFace, count);
  }
}
