// Point weights as LightWave's bones give them, then spread to the vertices written for
// each point (split vertices included).
#include "geometry/skin.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace torvo {

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
  double strength;  // times rest length when scaled
  bool active;
  double minRange, maxRange;
  int map;          // the named weight map's number, or -1
  bool mapOnly, normalize, limited;
};

// One bone's share of a point: its field (normalized with the others'), a weight of its
// own (map-only bones without normalization), its distance; then the weight it ends with.
struct Share {
  std::uint32_t entry;
  double field, fixed, distance, weight;
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

// Faster Bones, as measured: the fifth-strongest field is taken off every field.
void keepFourStrongest(std::vector<Share>& shares, std::vector<double>& sorted) {
  sorted.clear();
  for (const Share& s : shares)
    if (s.field > 0.0) sorted.push_back(s.field);
  if (sorted.size() <= kFasterBones) return;
  std::nth_element(sorted.begin(), sorted.begin() + kFasterBones, sorted.end(), std::greater<>());
  const double fifth = sorted[kFasterBones];
  for (Share& s : shares) {
    s.field = std::max(s.field - fifth, 0.0);
    if (s.field < FLT_EPSILON) s.field = 0.0;
  }
}

// One point's shares with a weight (bones in order, then entry `object` for the share no
// bone takes). mapValue holds the point's value in each map (0 where a map has none).
// Returns true when the weights summed above 1 and were scaled down.
bool weighPoint(const std::vector<Segment>& segments, const LwSkeleton& settings, const LwPoint& point,
                const std::vector<double>& mapValue, std::vector<Share>& shares, std::vector<double>& scratch) {
  shares.clear();
  for (std::uint32_t b = 0; b < segments.size(); ++b) {
    const Segment& s = segments[b];
    if (!s.active) continue;
    const double value = s.map >= 0 ? mapValue[static_cast<std::size_t>(s.map)] : 1.0;
    if (value == 0.0) continue;
    if (s.mapOnly) {
      if (value > 0.0) shares.push_back({b, s.normalize ? value : 0.0, s.normalize ? 0.0 : value, 0.0, 0.0});
      continue;
    }
    if (s.strength == 0.0) continue;
    const double d = distanceTo(s, point);
    const double strength = s.strength * value;
    double f = strength * lwBoneFalloff(d, settings.falloff);
    if (s.limited) {
      if (d >= s.maxRange) f = 0.0;
      else if (d < s.minRange) f = strength * kInnerField * smoothStep(1.0 - d / s.minRange);
    }
    if (std::isfinite(f) && f > 0.0) shares.push_back({b, f, 0.0, d, 0.0});
  }
  if (settings.fasterBones) keepFourStrongest(shares, scratch);
  double sum = 0.0;
  for (const Share& s : shares) sum += s.field;
  double total = 0.0;
  for (Share& s : shares) {
    double weight = sum > 0.0 && std::isfinite(sum) ? s.field / sum : 0.0;
    const Segment& seg = segments[s.entry];
    // Between the ranges the bone's share fades out towards the outer one.
    if (weight > 0.0 && seg.limited && !seg.mapOnly && s.distance > seg.minRange && seg.maxRange > seg.minRange) {
      weight *= smoothStep((seg.maxRange - s.distance) / (seg.maxRange - seg.minRange));
    }
    s.weight = std::isfinite(weight + s.fixed) ? weight + s.fixed : 0.0;
    total += s.weight;
  }
  double kept = 0.0;
  for (Share& s : shares) {
    if (s.weight < kSmallestWeight) s.weight = 0.0;
    kept += s.weight;
  }
  const double scale = kept > 0.0 ? total / kept : 0.0;
  total = kept > 0.0 ? total : 0.0;
  const bool above = total > 1.0 + kSmallestWeight;
  const double norm = above ? scale / total : scale;
  if (above) total = 1.0;
  std::erase_if(shares, [](const Share& s) { return s.weight <= 0.0; });
  for (Share& s : shares) s.weight *= norm;
  if (total < 1.0 - kSmallestWeight) shares.push_back({static_cast<std::uint32_t>(segments.size()), 0.0, 0.0, 0.0, 1.0 - total});
  return above;
}

// Keeps the `limit` largest weights (bones and the object's share), renormalized.
void keepStrongest(std::vector<Share>& shares, std::uint32_t limit) {
  if (shares.size() <= limit) return;
  std::stable_sort(shares.begin(), shares.end(), [](const Share& a, const Share& b) { return a.weight > b.weight; });
  shares.resize(limit);
  double kept = 0.0;
  for (const Share& s : shares) kept += s.weight;
  for (Share& s : shares) s.weight /= kept;
  std::sort(shares.begin(), shares.end(), [](const Share& a, const Share& b) { return a.entry < b.entry; });
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
  // Each named map once, numbered; its values by point, so a point reads only the maps it is in.
  std::unordered_map<std::string, int> mapNumber;
  std::vector<const LwVertexMap*> maps;
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
    s.active = lwBoneDeforms(bone);
    s.strength = std::isfinite(bone.strength) ? bone.strength * (bone.scaleStrength ? bone.restLength : 1.0) : 0.0;
    s.minRange = bone.minRange, s.maxRange = bone.maxRange, s.limited = bone.limitedRange;
    s.normalize = bone.normalize;
    s.map = -1;
    s.mapOnly = false;
    if (bone.weightMap.empty()) continue;
    auto found = mapNumber.find(bone.weightMap);
    if (found == mapNumber.end()) {
      const LwVertexMap* map = nullptr;
      for (const LwVertexMap& m : object.vertexMaps)
        if (m.type == lwId("WGHT") && m.name == bone.weightMap) map = &m;
      if (map == nullptr) {
        out.missingMaps.push_back(bone.weightMap);
        continue;
      }
      found = mapNumber.emplace(bone.weightMap, static_cast<int>(maps.size())).first;
      maps.push_back(map);
    }
    s.map = found->second;
    s.mapOnly = bone.weightMapOnly;
  }
  std::vector<std::uint32_t> valueFirst(pointCount + 1, 0);
  for (const LwVertexMap* map : maps)
    for (const LwMapValue& v : map->points)
      if (v.point < pointCount) ++valueFirst[v.point + 1];
  std::partial_sum(valueFirst.begin(), valueFirst.end(), valueFirst.begin());
  std::vector<std::pair<std::uint32_t, float>> values(valueFirst.back());
  {
    std::vector<std::uint32_t> fill(valueFirst.begin(), valueFirst.end() - 1);
    for (std::uint32_t m = 0; m < maps.size(); ++m)
      for (const LwMapValue& v : maps[m]->points)
        if (v.point < pointCount) values[fill[v.point]++] = {m, v.value[0]};
  }
  std::vector<double> mapValue(maps.size(), 0.0);
  std::sort(out.missingMaps.begin(), out.missingMaps.end());
  out.missingMaps.erase(std::unique(out.missingMaps.begin(), out.missingMaps.end()), out.missingMaps.end());

  // Every point once: its entries in a pool, first[p] .. first[p + 1].
  std::vector<std::uint32_t> pointFirst(pointCount + 1, 0);
  std::vector<std::uint32_t> pointEntry;
  std::vector<float> pointWeight;
  std::vector<Share> shares;
  std::vector<double> scratch;
  std::vector<char> used(pointCount, 0);
  // Vertices name points (the model is validated).
  for (const LwVertex& v : object.vertices) used[v.point] = 1;
  for (std::uint32_t p = 0; p < pointCount; ++p) {
    pointFirst[p] = static_cast<std::uint32_t>(pointEntry.size());
    if (used[p] == 0) continue;
    for (std::uint32_t i = valueFirst[p]; i < valueFirst[p + 1]; ++i) mapValue[values[i].first] = values[i].second;
    if (weighPoint(segments, settings, object.points[p], mapValue, shares, scratch)) ++out.normalizedPoints;
    for (std::uint32_t i = valueFirst[p]; i < valueFirst[p + 1]; ++i) mapValue[values[i].first] = 0.0;
    if (limit > 0) keepStrongest(shares, limit);
    for (const Share& share : shares) {
      pointEntry.push_back(share.entry);
      pointWeight.push_back(static_cast<float>(share.weight));
    }
    out.maxPerVertex = std::max(out.maxPerVertex, static_cast<std::uint32_t>(shares.size()));
  }
  pointFirst[pointCount] = static_cast<std::uint32_t>(pointEntry.size());

  // Counted, then laid out by entry in vertex order.
  out.first.assign(n + 2, 0);
  for (const LwVertex& v : object.vertices) {
    for (std::uint32_t i = pointFirst[v.point]; i < pointFirst[v.point + 1]; ++i) ++out.first[pointEntry[i] + 1];
  }
  std::partial_sum(out.first.begin(), out.first.end(), out.first.begin());
  out.vertices.resize(out.first.back());
  out.weights.resize(out.first.back());
  std::vector<std::uint32_t> fill(out.first.begin(), out.first.end() - 1);
  for (std::uint32_t vertex = 0; vertex < object.vertices.size(); ++vertex) {
    const std::uint32_t p = object.vertices[vertex].point;
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

}  // namespace torvo
