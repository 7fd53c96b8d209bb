// Subdivision cages (PTCH and SUBD polygons) refined into the surface LightWave shows,
// with OpenSubdiv's face-by-face evaluation of the limit surface: a PTCH face at level N
// becomes N x N quads, a SUBD face as many as N Catmull-Clark steps make. The points
// that neighbouring faces share are welded; the maps come along, interpolated.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "geometry/geometry.h"

#ifdef TORVO_HAVE_OPENSUBDIV
#include <opensubdiv/bfr/refinerSurfaceFactory.h>
#include <opensubdiv/bfr/surface.h>
#include <opensubdiv/bfr/tessellation.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>
#endif

namespace torvo {

namespace {

bool isCage(const LwPolygon& polygon) { return polygon.kind == kPolygonPatch || polygon.kind == kPolygonCatmullClark; }

const std::string& objectName(const LwObject& object) { return object.name.empty() ? object.filePath : object.name; }

}  // namespace

int lwSubPatchLevelFor(const LwObject& object, const ConvertOptions& options) {
  if (options.subPatchLevel >= 0) return options.subPatchLevel;
  return object.subPatchLevel[options.subPatchLevel == kSubPatchRender ? 1 : 0];
}

#ifndef TORVO_HAVE_OPENSUBDIV

bool lwSubdivideObject(LwObject& object, int level, const MessageSink& sink) {
  if (level <= 0 || std::none_of(object.polygons.begin(), object.polygons.end(), isCage)) return false;
  report(sink, Message::kCagesWithoutLibrary, objectName(object));
  return false;
}

#else

namespace {

namespace Bfr = OpenSubdiv::Bfr;
namespace Far = OpenSubdiv::Far;
namespace Sdc = OpenSubdiv::Sdc;
using Surface = Bfr::Surface<float>;

constexpr std::uint32_t kNone = 0xFFFFFFFF;
// SUBD levels beyond this many steps make more than a million faces of one quad.
constexpr int kMaxCatmullClarkSteps = 10;
// Edge Weight 1 (100 %) is a crease as sharp as OpenSubdiv's infinite sharpness; weights
// between scale linearly, and weights of 0 and below (looser edges) have no equivalent.
constexpr float kSharpestCrease = 10.0f;
// Values of one map at one refined point count as one when this close (relative).
constexpr float kSameValue = 1e-5f;
const std::string kEdgeWeightMap = "Edge Weight";

// The values a kept map's entries carry (TXUV 2, WGHT 1, RGB 3, RGBA 4), and one more
// that says how much of the point lies in the map.
std::uint32_t mapWidth(const LwVertexMap& map) {
  if (map.type == lwId("TXUV")) return 2;
  if (map.type == lwId("WGHT")) return 1;
  if (map.type == lwId("RGB ")) return 3;
  return kMapValues;
}

bool isEdgeWeights(const LwVertexMap& map) { return map.type == lwId("WGHT") && map.name == kEdgeWeightMap; }

Sdc::Options::FVarLinearInterpolation fvarMode(std::int32_t patchMode) {
  switch (patchMode) {
    case 1: return Sdc::Options::FVAR_LINEAR_NONE;
    case 2: return Sdc::Options::FVAR_LINEAR_CORNERS_ONLY;
    case 3:
    case 4: return Sdc::Options::FVAR_LINEAR_BOUNDARIES;
    default: return Sdc::Options::FVAR_LINEAR_ALL;
  }
}

// The tessellation rate of a level: PTCH N x N, SUBD 2^N per side.
int rateOf(std::uint8_t kind, int level) {
  return kind == kPolygonPatch ? level : 1 << std::min(level, kMaxCatmullClarkSteps);
}

Bfr::Tessellation::Options tessellationOptions() {
  Bfr::Tessellation::Options options;
  options.PreserveQuads(true);
  options.SetFacetSize(4);
  return options;
}

// Faces the cages make at a level, counted by the tessellation patterns themselves.
std::uint64_t refinedFaces(const LwObject& object, int level) {
  std::unordered_map<std::uint64_t, std::uint64_t> facets;  // by face size and rate
  std::uint64_t total = 0;
  for (const LwPolygon& polygon : object.polygons) {
    if (!isCage(polygon)) {
      ++total;
      continue;
    }
    const int rate = rateOf(polygon.kind, level);
    const std::uint64_t key = (std::uint64_t(static_cast<std::uint32_t>(polygon.cornerCount)) << 32) | std::uint32_t(rate);
    auto found = facets.find(key);
    if (found == facets.end()) {
      const Bfr::Parameterization face(Sdc::SCHEME_CATMARK, polygon.cornerCount);
      const Bfr::Tessellation pattern(face, rate, tessellationOptions());
      found = facets.emplace(key, pattern.IsValid() ? static_cast<std::uint64_t>(pattern.GetNumFacets()) : 1u).first;
    }
    total += found->second;
  }
  return total;
}

// One map's value at one refined point as a face evaluated it, with its share in the map.
struct Sample {
  float value[kMapValues + 1] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};

bool sameSample(const Sample& a, const Sample& b, std::uint32_t width) {
  for (std::uint32_t i = 0; i <= width; ++i) {
    const float scale = std::max({1.0f, std::fabs(a.value[i]), std::fabs(b.value[i])});
    if (std::fabs(a.value[i] - b.value[i]) > kSameValue * scale) return false;
  }
  return true;
}

// What refining gives, before it replaces the cages.
struct Refined {
  std::vector<LwPoint> points;
  std::vector<double> normalSums;                  // 3 per point
  std::vector<std::vector<float>> vertexData;      // per vertex-interpolated map: width + 1 per point
  std::vector<std::uint32_t> facetFirst;           // per object polygon: first refined polygon (cages only)
  std::vector<std::uint32_t> facetCount;
  std::vector<std::uint32_t> corners;              // refined polygons' points, facetSize (4) each, kNone-padded
  // Face-varying maps: each refined point's distinct values, and each corner's choice.
  std::vector<std::vector<std::vector<Sample>>> pointSamples;  // [map][point]
  std::vector<std::vector<std::uint8_t>> cornerSample;         // [map][corner]
  std::uint32_t foldedCreases = 0;  // edge weights left out beside folded points
};

// The maps that patches carry: TXUV, and any map with per-corner values, vary per face;
// the others are interpolated like the points.
struct MapPlan {
  std::vector<std::uint32_t> faceVarying;  // map indices
  std::vector<std::uint32_t> vertex;       // map indices
};

MapPlan planMaps(const LwObject& object) {
  MapPlan plan;
  for (std::uint32_t m = 0; m < object.vertexMaps.size(); ++m) {
    const LwVertexMap& map = object.vertexMaps[m];
    if (isEdgeWeights(map)) continue;
    if (map.type == lwId("TXUV") || !map.corners.empty()) {
      plan.faceVarying.push_back(m);
    } else {
      plan.vertex.push_back(m);
    }
  }
  return plan;
}

// One kind of cage, refined on its own.
class CageRefiner {
 public:
  CageRefiner(const LwObject& object, const MapPlan& plan, std::uint8_t kind, int rate, Refined& out)
      : object_(object), plan_(plan), kind_(kind), rate_(rate), out_(out) {}

  void run() {
    gather();
    if (faces_.empty()) return;
    std::vector<Far::TopologyDescriptor::FVarChannel> none;
    auto vertexRefiner = makeRefiner(Sdc::Options::FVAR_LINEAR_ALL, none);
    if (!vertexRefiner) return;
    const Bfr::RefinerSurfaceFactory<> factory(*vertexRefiner);
    std::vector<float> meshData = vertexMeshData();
    const int stride = static_cast<int>(meshData.size() / localPoints_.size());
    facePoints_.assign(faces_.size(), {});
    Surface surface;
    std::vector<float> patch, coords, values(3u * static_cast<std::size_t>(stride));
    std::vector<int> facets;
    for (std::uint32_t f = 0; f < faces_.size(); ++f) {
      if (!factory.InitVertexSurface(static_cast<int>(f), &surface) || !surface.IsValid()) continue;
      const Bfr::Tessellation pattern(surface.GetParameterization(), rate_, tessellationOptions());
      if (!pattern.IsValid()) continue;
      patch.resize(static_cast<std::size_t>(surface.GetNumPatchPoints()) * static_cast<std::size_t>(stride));
      surface.PreparePatchPoints(meshData.data(), Surface::PointDescriptor(stride), patch.data(),
                                 Surface::PointDescriptor(stride));
      coords.resize(2u * static_cast<std::size_t>(pattern.GetNumCoords()));
      pattern.GetCoords(coords.data());
      std::vector<std::uint32_t>& points = facePoints_[f];
      weld(f, pattern, points);
      float* p = values.data();
      float* du = p + stride;
      float* dv = du + stride;
      for (std::size_t c = 0; c < points.size(); ++c) {
        surface.Evaluate(&coords[2 * c], patch.data(), Surface::PointDescriptor(stride), p, du, dv);
        store(points[c], p, du, dv);
      }
      facets.resize(4u * static_cast<std::size_t>(pattern.GetNumFacets()));
      pattern.GetFacets(facets.data());
      const std::uint32_t polygon = faces_[f];
      out_.facetFirst[polygon] = static_cast<std::uint32_t>(out_.corners.size() / 4);
      out_.facetCount[polygon] = static_cast<std::uint32_t>(pattern.GetNumFacets());
      for (const int index : facets) out_.corners.push_back(index < 0 ? kNone : points[static_cast<std::size_t>(index)]);
    }
    faceVarying();
  }

 private:
  // One pass of the manifold test; true when it dropped faces.
  bool dropNonManifold(std::vector<std::uint32_t>& faces) const {
    struct Corner {
      std::uint32_t point, face, in, out;  // face: index in faces; in and out: the points before and after
    };
    std::vector<Corner> corners;
    for (std::uint32_t f = 0; f < faces.size(); ++f) {
      const LwPolygon& polygon = object_.polygons[faces[f]];
      const std::uint32_t* corner = object_.indices.data() + polygon.firstIndex;
      const auto n = static_cast<std::uint32_t>(polygon.cornerCount);
      for (std::uint32_t k = 0; k < n; ++k) corners.push_back({corner[k], f, corner[(k + n - 1) % n], corner[(k + 1) % n]});
    }
    std::sort(corners.begin(), corners.end(),
              [](const Corner& a, const Corner& b) { return a.point != b.point ? a.point < b.point : a.out < b.out; });
    std::vector<std::uint8_t> bad(faces.size(), 0);
    std::vector<std::uint32_t> parent;
    std::unordered_map<std::uint32_t, std::uint32_t> byIn;
    for (std::size_t first = 0; first < corners.size();) {
      std::size_t last = first;
      while (last < corners.size() && corners[last].point == corners[first].point) ++last;
      // Around one point: every edge leaves and arrives at most once, and the faces form one fan.
      const auto count = static_cast<std::uint32_t>(last - first);
      bool manifold = true;
      byIn.clear();
      for (std::uint32_t i = 0; i < count; ++i) {
        manifold = manifold && (i == 0 || corners[first + i].out != corners[first + i - 1].out);
        manifold = manifold && byIn.emplace(corners[first + i].in, i).second;
      }
      parent.resize(count);
      for (std::uint32_t i = 0; i < count; ++i) parent[i] = i;
      const auto root = [&parent](std::uint32_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
      };
      std::uint32_t fans = count;
      for (std::uint32_t i = 0; i < count && manifold; ++i) {
        const auto next = byIn.find(corners[first + i].out);
        if (next == byIn.end()) continue;
        const std::uint32_t a = root(i);
        const std::uint32_t b = root(next->second);
        if (a != b) {
          parent[a] = b;
          --fans;
        }
      }
      if (!manifold || fans > 1)
        for (std::size_t i = first; i < last; ++i) bad[corners[i].face] = 1;
      first = last;
    }
    std::vector<std::uint32_t> kept;
    for (std::uint32_t f = 0; f < faces.size(); ++f)
      if (!bad[f]) kept.push_back(faces[f]);
    const bool dropped = kept.size() != faces.size();
    faces = std::move(kept);
    return dropped;
  }

  // The cage faces of this kind and their points. Faces that repeat a corner, share an edge
  // the same way round with another face, or meet others at a point where their fans are
  // not one, stay faces: OpenSubdiv's face-by-face evaluation does not survive them.
  void gather() {
    const std::uint32_t pointCount = static_cast<std::uint32_t>(object_.points.size());
    localOf_.assign(pointCount, kNone);
    std::vector<std::uint32_t> candidates;
    for (std::uint32_t p = 0; p < object_.polygons.size(); ++p) {
      const LwPolygon& polygon = object_.polygons[p];
      if (polygon.kind != kind_) continue;
      const std::uint32_t* corner = object_.indices.data() + polygon.firstIndex;
      std::vector<std::uint32_t> sorted(corner, corner + polygon.cornerCount);
      std::sort(sorted.begin(), sorted.end());
      if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) candidates.push_back(p);
    }
    while (dropNonManifold(candidates)) {
    }
    for (const std::uint32_t p : candidates) {
      const LwPolygon& polygon = object_.polygons[p];
      const std::uint32_t* corner = object_.indices.data() + polygon.firstIndex;
      faces_.push_back(p);
      sizes_.push_back(polygon.cornerCount);
      for (std::int32_t k = 0; k < polygon.cornerCount; ++k) {
        std::uint32_t& local = localOf_[corner[k]];
        if (local == kNone) {
          local = static_cast<std::uint32_t>(localPoints_.size());
          localPoints_.push_back(corner[k]);
        }
        faceCorners_.push_back(static_cast<int>(local));
      }
    }
    firstCorner_.resize(faces_.size());
    for (std::size_t f = 0, at = 0; f < faces_.size(); at += static_cast<std::size_t>(sizes_[f]), ++f)
      firstCorner_[f] = static_cast<std::uint32_t>(at);
    cornerPoints_.assign(localPoints_.size(), kNone);
    creases();
  }

  std::unique_ptr<Far::TopologyRefiner> makeRefiner(Sdc::Options::FVarLinearInterpolation mode,
                                                    const std::vector<Far::TopologyDescriptor::FVarChannel>& channels) {
    Far::TopologyDescriptor topology;
    topology.numVertices = static_cast<int>(localPoints_.size());
    topology.numFaces = static_cast<int>(faces_.size());
    topology.numVertsPerFace = sizes_.data();
    topology.vertIndicesPerFace = faceCorners_.data();
    topology.isLeftHanded = false;  // refined faces keep the cage's (clockwise) order
    topology.numCreases = static_cast<int>(creaseWeights_.size());
    topology.creaseVertexIndexPairs = creasePairs_.data();
    topology.creaseWeights = creaseWeights_.data();
    topology.numFVarChannels = static_cast<int>(channels.size());
    topology.fvarChannels = channels.data();
    Sdc::Options options;
    options.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_ONLY);
    options.SetFVarLinearInterpolation(mode);
    options.SetTriangleSubdivision(Sdc::Options::TRI_SUB_CATMARK);
    using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
    return std::unique_ptr<Far::TopologyRefiner>(
        Factory::Create(topology, Factory::Options(Sdc::SCHEME_CATMARK, options)));
  }

  // Points only two faces surround, sharing both edges at the point. OpenSubdiv 3.5 builds
  // the patch of a face at such a point from a hull whose faces overlap, and then reads
  // crease ends it never wrote (a crash in Vtr::Level::findEdge): no crease may touch
  // those faces' corners. One linear pass over the corners.
  std::vector<std::uint8_t> creaseFreePoints() const {
    const std::size_t count = localPoints_.size();
    std::vector<std::uint32_t> corners(count, 0), firstIn(count, 0), firstOut(count, 0);
    std::vector<std::uint8_t> folded(count, 0);
    for (std::uint32_t f = 0; f < faces_.size(); ++f) {
      const int* corner = faceCorners_.data() + firstCorner_[f];
      const int n = sizes_[f];
      for (int k = 0; k < n; ++k) {
        const auto point = static_cast<std::size_t>(corner[k]);
        const auto in = static_cast<std::uint32_t>(corner[(k + n - 1) % n]);
        const auto out = static_cast<std::uint32_t>(corner[(k + 1) % n]);
        if (corners[point] == 0) {
          firstIn[point] = in;
          firstOut[point] = out;
        }
        if (corners[point] == 1) folded[point] = in == firstOut[point] && out == firstIn[point];
        ++corners[point];
      }
    }
    std::vector<std::uint8_t> creaseFree(count, 0);
    for (std::uint32_t f = 0; f < faces_.size(); ++f) {
      const int* corner = faceCorners_.data() + firstCorner_[f];
      bool folds = false;
      for (int k = 0; k < sizes_[f]; ++k) {
        const auto point = static_cast<std::size_t>(corner[k]);
        folds = folds || (folded[point] && corners[point] == 2);
      }
      for (int k = 0; k < sizes_[f] && folds; ++k) creaseFree[static_cast<std::size_t>(corner[k])] = 1;
    }
    return creaseFree;
  }

  // SUBD Edge Weight entries (point, polygon, w) sharpen the edge from that point to the
  // polygon's next corner.
  void creases() {
    if (kind_ != kPolygonCatmullClark) return;
    std::vector<std::uint32_t> faceOf(object_.polygons.size(), kNone);
    for (std::uint32_t f = 0; f < faces_.size(); ++f) faceOf[faces_[f]] = f;
    std::vector<std::uint8_t> creaseFree;
    for (const LwVertexMap& map : object_.vertexMaps) {
      if (!isEdgeWeights(map)) continue;
      for (const LwMapValue& entry : map.corners) {
        if (faceOf[entry.polygon] == kNone || !(entry.value[0] > 0.0f))
          continue;
        const std::uint32_t f = faceOf[entry.polygon];
        const int* corner = faceCorners_.data() + firstCorner_[f];
        for (int k = 0; k < sizes_[f]; ++k) {
          if (static_cast<std::uint32_t>(corner[k]) != localOf_[entry.point]) continue;
          const int next = corner[(k + 1) % sizes_[f]];
          if (creaseFree.empty()) creaseFree = creaseFreePoints();
          if (creaseFree[static_cast<std::size_t>(corner[k])] || creaseFree[static_cast<std::size_t>(next)]) {
            ++out_.foldedCreases;
            continue;
          }
          creasePairs_.push_back(corner[k]);
          creasePairs_.push_back(next);
          creaseWeights_.push_back(std::min(entry.value[0], 1.0f) * kSharpestCrease);
        }
      }
    }
  }

  // Per cage point: the position, then each vertex-interpolated map's values and share.
  std::vector<float> vertexMeshData() {
    std::size_t stride = 3;
    for (const std::uint32_t m : plan_.vertex) stride += mapWidth(object_.vertexMaps[m]) + 1;
    std::vector<float> data(localPoints_.size() * stride, 0.0f);
    for (std::size_t i = 0; i < localPoints_.size(); ++i) {
      const LwPoint& point = object_.points[localPoints_[i]];
      data[i * stride] = point.x;
      data[i * stride + 1] = point.y;
      data[i * stride + 2] = point.z;
    }
    std::size_t offset = 3;
    for (const std::uint32_t m : plan_.vertex) {
      const LwVertexMap& map = object_.vertexMaps[m];
      const std::uint32_t width = mapWidth(map);
      for (const LwMapValue& entry : map.points) {
        if (localOf_[entry.point] == kNone) continue;
        float* at = &data[localOf_[entry.point] * stride + offset];
        std::copy_n(entry.value, width, at);
        at[width] = 1.0f;
      }
      offset += width + 1;
    }
    return data;
  }

  std::uint32_t newPoint() {
    out_.points.emplace_back();
    out_.normalSums.insert(out_.normalSums.end(), 3, 0.0);
    for (std::size_t m = 0; m < plan_.vertex.size(); ++m)
      out_.vertexData[m].resize(out_.vertexData[m].size() + mapWidth(object_.vertexMaps[plan_.vertex[m]]) + 1);
    return static_cast<std::uint32_t>(out_.points.size() - 1);
  }

  // The refined points of a face's pattern: points on its border are shared with the
  // faces beside it (by cage point, or by cage edge and place along it), inner ones its own.
  void weld(std::uint32_t f, const Bfr::Tessellation& pattern, std::vector<std::uint32_t>& points) {
    points.assign(static_cast<std::size_t>(pattern.GetNumCoords()), kNone);
    const int* corner = faceCorners_.data() + firstCorner_[f];
    const int n = sizes_[f];
    std::size_t at = 0;
    for (int e = 0; e < n; ++e) {
      const std::uint32_t a = static_cast<std::uint32_t>(corner[e]);
      const std::uint32_t b = static_cast<std::uint32_t>(corner[(e + 1) % n]);
      if (cornerPoints_[a] == kNone) cornerPoints_[a] = newPoint();
      points[at++] = cornerPoints_[a];
      const auto inner = static_cast<std::uint32_t>(pattern.GetNumEdgeCoords(e));
      const std::uint64_t key = std::uint64_t(std::min(a, b)) << 32 | std::max(a, b);
      auto [run, added] = edgeRuns_.emplace(key, 0u);
      if (added) {
        run->second = static_cast<std::uint32_t>(out_.points.size());
        for (std::uint32_t k = 0; k < inner; ++k) newPoint();
      }
      // The run lies from the lower cage point to the higher.
      for (std::uint32_t k = 0; k < inner; ++k) points[at++] = run->second + (a < b ? k : inner - 1 - k);
    }
    for (; at < points.size(); ++at) points[at] = newPoint();
  }

  void store(std::uint32_t point, const float* p, const float* du, const float* dv) {
    out_.points[point] = LwPoint{p[0], p[1], p[2]};
    // Faces keep the cage's clockwise order, so du x dv faces the front as the cage's
    // own face normal does.
    const double n[3] = {double{du[1]} * dv[2] - double{du[2]} * dv[1], double{du[2]} * dv[0] - double{du[0]} * dv[2],
                         double{du[0]} * dv[1] - double{du[1]} * dv[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length > 0.0 && std::isfinite(length))
      for (int i = 0; i < 3; ++i) out_.normalSums[3u * point + static_cast<std::size_t>(i)] += n[i] / length;
    std::size_t offset = 3;
    for (std::size_t m = 0; m < plan_.vertex.size(); ++m) {
      const std::size_t width = mapWidth(object_.vertexMaps[plan_.vertex[m]]) + 1;
      std::copy_n(p + offset, width, out_.vertexData[m].begin() + static_cast<std::ptrdiff_t>(point * width));
      offset += width;
    }
  }

  // Face-varying maps, one refiner per interpolation mode in use: values are shared where
  // the cage shares them (one per point) and split where a per-corner value overrides.
  void faceVarying() {
    const std::size_t maps = plan_.faceVarying.size();
    if (maps == 0) return;
    std::vector<std::vector<float>> values(maps);
    std::vector<std::vector<int>> indices(maps);
    std::vector<Far::TopologyDescriptor::FVarChannel> channels(maps);
    for (std::size_t m = 0; m < maps; ++m) faceVaryingChannel(plan_.faceVarying[m], values[m], indices[m], channels[m]);
    std::vector<std::int32_t> modes;
    for (const std::uint32_t m : plan_.faceVarying) modes.push_back(object_.vertexMaps[m].patchMode);
    std::vector<std::int32_t> distinct = modes;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (const std::int32_t mode : distinct) {
      auto refiner = makeRefiner(fvarMode(mode), channels);
      if (!refiner) continue;
      const Bfr::RefinerSurfaceFactory<> factory(*refiner);
      for (std::size_t m = 0; m < maps; ++m)
        if (modes[m] == mode) evaluateMap(factory, static_cast<int>(m), values[m], out_.pointSamples[plan_.faceVarying[m]],
                                          out_.cornerSample[plan_.faceVarying[m]]);
    }
  }

  void faceVaryingChannel(std::uint32_t m, std::vector<float>& values, std::vector<int>& indices,
                          Far::TopologyDescriptor::FVarChannel& channel) {
    const LwVertexMap& map = object_.vertexMaps[m];
    constexpr std::size_t kStride = kMapValues + 1;
    values.assign(localPoints_.size() * kStride, 0.0f);
    for (const LwMapValue& entry : map.points) {
      if (localOf_[entry.point] == kNone) continue;
      float* at = &values[localOf_[entry.point] * kStride];
      std::copy_n(entry.value, kMapValues, at);
      at[kMapValues] = 1.0f;
    }
    indices.assign(faceCorners_.begin(), faceCorners_.end());
    for (std::uint32_t f = 0; f < faces_.size(); ++f) {
      const std::uint32_t* corner = object_.indices.data() + object_.polygons[faces_[f]].firstIndex;
      for (int k = 0; k < sizes_[f]; ++k) {
        const LwMapValue* own = lwFindMapValue(map.corners, faces_[f], corner[k]);
        if (own == nullptr) continue;
        indices[firstCorner_[f] + static_cast<std::size_t>(k)] = static_cast<int>(values.size() / kStride);
        values.insert(values.end(), own->value, own->value + kMapValues);
        values.push_back(1.0f);
      }
    }
    channel.numValues = static_cast<int>(values.size() / kStride);
    channel.valueIndices = indices.data();
  }

  void evaluateMap(const Bfr::RefinerSurfaceFactory<>& factory, int channel, const std::vector<float>& values,
                   std::vector<std::vector<Sample>>& samples, std::vector<std::uint8_t>& choice) {
    constexpr int kStride = static_cast<int>(kMapValues + 1);
    samples.resize(out_.points.size());
    Surface surface;
    std::vector<float> patch, coords;
    for (std::uint32_t f = 0; f < faces_.size(); ++f) {
      const std::uint32_t polygon = faces_[f];
      if (out_.facetCount[polygon] == 0 || !factory.InitFaceVaryingSurface(static_cast<int>(f), &surface, channel) ||
          !surface.IsValid())
        continue;
      const Bfr::Tessellation pattern(surface.GetParameterization(), rate_, tessellationOptions());
      patch.resize(static_cast<std::size_t>(surface.GetNumPatchPoints()) * kStride);
      surface.PreparePatchPoints(values.data(), Surface::PointDescriptor(kStride), patch.data(),
                                 Surface::PointDescriptor(kStride));
      coords.resize(2u * static_cast<std::size_t>(pattern.GetNumCoords()));
      pattern.GetCoords(coords.data());
      const std::vector<std::uint32_t>& points = facePoints_[f];
      std::vector<std::uint8_t> pick(points.size(), 0);
      for (std::size_t c = 0; c < points.size(); ++c) {
        Sample sample;
        surface.Evaluate(&coords[2 * c], patch.data(), Surface::PointDescriptor(kStride), sample.value);
        std::vector<Sample>& seen = samples[points[c]];
        std::size_t s = 0;
        while (s < seen.size() && !sameSample(seen[s], sample, kMapValues)) ++s;
        if (s == seen.size() && seen.size() < 255) seen.push_back(sample);
        pick[c] = static_cast<std::uint8_t>(std::min<std::size_t>(s, seen.size() - 1));
      }
      const std::uint32_t first = out_.facetFirst[polygon] * 4;
      choice.resize(std::max<std::size_t>(choice.size(), out_.corners.size()), 0);
      // The facets name pattern coordinates; refined corners name the welded points.
      std::vector<int> facets(4u * static_cast<std::size_t>(pattern.GetNumFacets()));
      pattern.GetFacets(facets.data());
      for (std::size_t i = 0; i < facets.size(); ++i)
        if (facets[i] >= 0) choice[first + i] = pick[static_cast<std::size_t>(facets[i])];
    }
  }

  const LwObject& object_;
  const MapPlan& plan_;
  std::uint8_t kind_;
  int rate_;
  Refined& out_;
  std::vector<std::uint32_t> faces_;        // object polygons
  std::vector<int> sizes_;
  std::vector<int> faceCorners_;            // local point per corner
  std::vector<std::uint32_t> firstCorner_;  // per face, in faceCorners_
  // Object point to local, or kNone; map entries index it unchecked, since the readers keep
  // only entries whose point (and polygon) exists.
  std::vector<std::uint32_t> localOf_;
  std::vector<std::uint32_t> localPoints_;  // local to object point
  std::vector<std::uint32_t> cornerPoints_;  // local point to refined point
  std::unordered_map<std::uint64_t, std::uint32_t> edgeRuns_;
  std::vector<std::vector<std::uint32_t>> facePoints_;
  std::vector<int> creasePairs_;
  std::vector<float> creaseWeights_;
};

// The object rebuilt: points no face keeps are dropped, every refined cage face is
// replaced by its facets (in the cage face's place), the maps follow.
void replaceCages(LwObject& object, const MapPlan& plan, Refined& refined) {
  const std::size_t oldPoints = object.points.size();
  std::vector<std::uint8_t> keep(oldPoints, 1);
  for (std::uint32_t p = 0; p < object.polygons.size(); ++p) {
    const LwPolygon& polygon = object.polygons[p];
    if (refined.facetCount[p] == 0) continue;
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k) keep[object.indices[polygon.firstIndex + k]] = 0;
  }
  for (std::uint32_t p = 0; p < object.polygons.size(); ++p) {
    const LwPolygon& polygon = object.polygons[p];
    if (refined.facetCount[p] != 0) continue;
    for (std::int32_t k = 0; k < polygon.cornerCount; ++k) keep[object.indices[polygon.firstIndex + k]] = 1;
  }
  // The readers keep only skelegons whose points exist.
  for (const LwSkelegon& bone : object.skelegons) {
    keep[bone.base] = 1;
    keep[bone.tip] = 1;
  }
  std::vector<std::uint32_t> newOf(oldPoints, kNone);
  std::vector<LwPoint> points;
  points.reserve(oldPoints + refined.points.size());
  for (std::uint32_t i = 0; i < oldPoints; ++i) {
    if (!keep[i]) continue;
    newOf[i] = static_cast<std::uint32_t>(points.size());
    points.push_back(object.points[i]);
  }
  const auto base = static_cast<std::uint32_t>(points.size());
  points.insert(points.end(), refined.points.begin(), refined.points.end());
  object.limitNormals.assign(points.size(), LwPoint{});
  for (std::size_t i = 0; i < refined.points.size(); ++i) {
    const double* n = &refined.normalSums[3 * i];
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length > 0.0)
      object.limitNormals[base + i] = LwPoint{static_cast<float>(n[0] / length), static_cast<float>(n[1] / length),
                                              static_cast<float>(n[2] / length)};
  }

  std::vector<LwPolygon> polygons;
  std::vector<std::uint16_t> layers;
  std::vector<std::uint32_t> indices;
  std::vector<std::uint32_t> polygonOf(object.polygons.size(), kNone);
  std::vector<std::uint32_t> refinedPolygon(refined.corners.size() / 4, kNone);
  const bool layered = !object.polygonLayers.empty();
  for (std::uint32_t p = 0; p < object.polygons.size(); ++p) {
    const LwPolygon& polygon = object.polygons[p];
    const std::uint16_t layer = layered ? object.polygonLayers[p] : std::uint16_t{0};
    if (refined.facetCount[p] == 0) {
      polygonOf[p] = static_cast<std::uint32_t>(polygons.size());
      LwPolygon kept = polygon;
      kept.kind = kPolygonFace;
      kept.firstIndex = static_cast<std::uint32_t>(indices.size());
      for (std::int32_t k = 0; k < polygon.cornerCount; ++k) indices.push_back(newOf[object.indices[polygon.firstIndex + k]]);
      polygons.push_back(kept);
      if (layered) layers.push_back(layer);
      continue;
    }
    for (std::uint32_t t = 0; t < refined.facetCount[p]; ++t) {
      const std::uint32_t facet = refined.facetFirst[p] + t;
      refinedPolygon[facet] = static_cast<std::uint32_t>(polygons.size());
      LwPolygon face = polygon;
      face.kind = kPolygonRefined;
      face.firstIndex = static_cast<std::uint32_t>(indices.size());
      face.cornerCount = 0;
      for (std::uint32_t k = 0; k < 4; ++k) {
        const std::uint32_t point = refined.corners[4 * facet + k];
        if (point == kNone) continue;
        indices.push_back(base + point);
        ++face.cornerCount;
      }
      polygons.push_back(face);
      if (layered) layers.push_back(layer);
    }
  }

  for (std::uint32_t m = 0; m < object.vertexMaps.size(); ++m) {
    LwVertexMap& map = object.vertexMaps[m];
    std::vector<LwMapValue> kept;
    for (LwMapValue entry : map.points) {
      if (newOf[entry.point] == kNone) continue;
      entry.point = newOf[entry.point];
      kept.push_back(entry);
    }
    std::vector<LwMapValue> corners;
    for (LwMapValue entry : map.corners) {
      if (polygonOf[entry.polygon] == kNone || newOf[entry.point] == kNone) continue;
      entry.polygon = polygonOf[entry.polygon];
      entry.point = newOf[entry.point];
      corners.push_back(entry);
    }
    const auto vertexSlot = std::find(plan.vertex.begin(), plan.vertex.end(), m);
    if (vertexSlot != plan.vertex.end()) {
      const std::vector<float>& data = refined.vertexData[static_cast<std::size_t>(vertexSlot - plan.vertex.begin())];
      const std::uint32_t width = mapWidth(map);
      for (std::uint32_t i = 0; i < refined.points.size(); ++i) {
        const float* at = &data[i * (width + 1)];
        if (!(at[width] > 0.0f)) continue;  // no cage point around it is in the map
        LwMapValue& entry = kept.emplace_back();
        entry.point = base + i;
        std::copy_n(at, width, entry.value);
      }
    } else if (!refined.pointSamples[m].empty()) {
      const std::vector<std::vector<Sample>>& samples = refined.pointSamples[m];
      for (std::uint32_t i = 0; i < samples.size(); ++i) {
        if (samples[i].empty() || !(samples[i][0].value[kMapValues] > 0.0f)) continue;
        LwMapValue& entry = kept.emplace_back();
        entry.point = base + i;
        std::copy_n(samples[i][0].value, kMapValues, entry.value);
      }
      const std::vector<std::uint8_t>& choice = refined.cornerSample[m];
      for (std::size_t c = 0; c < choice.size() && c < refined.corners.size(); ++c) {
        const std::uint32_t point = refined.corners[c];
        if (choice[c] == 0 || point == kNone || refinedPolygon[c / 4] == kNone) continue;
        LwMapValue& entry = corners.emplace_back();
        entry.polygon = refinedPolygon[c / 4];
        entry.point = base + point;
        std::copy_n(samples[point][choice[c]].value, kMapValues, entry.value);
      }
    }
    lwSortMapValues(kept);
    lwSortMapValues(corners);
    map.points = std::move(kept);
    map.corners = std::move(corners);
  }
  for (LwSkelegon& bone : object.skelegons) {
    bone.base = newOf[bone.base];
    bone.tip = newOf[bone.tip];
  }

  object.points = std::move(points);
  object.vertices.assign(object.points.size(), LwVertex{});
  for (std::uint32_t i = 0; i < object.vertices.size(); ++i) {
    object.vertices[i].point = i;
    object.vertices[i].nextSplit = i;
  }
  object.polygons = std::move(polygons);
  object.polygonLayers = std::move(layers);
  object.indices = std::move(indices);
}

}  // namespace

bool lwSubdivideObject(LwObject& object, int level, const MessageSink& sink) {
  if (level <= 0 || std::none_of(object.polygons.begin(), object.polygons.end(), isCage)) return false;
  // Refining works on the object as read, before anything splits a vertex: one vertex per point.
  const std::string& name = objectName(object);
  if (object.patchWeightedPoints > 0)
    report(sink, Message::kPatchWeightsIgnored, name, static_cast<std::size_t>(object.patchWeightedPoints));
  // The highest level within the budget (faces grow with the level).
  int used = std::min(level, kMaxSubPatchLevel);
  if (refinedFaces(object, used) > kMaxRefinedFaces) {
    int low = 0;
    while (low + 1 < used) {
      const int middle = low + (used - low) / 2;
      (refinedFaces(object, middle) > kMaxRefinedFaces ? used : low) = middle;
    }
    used = low;
  }
  if (used != level)
    report(sink, Message::kSubdivisionLowered, name, static_cast<std::size_t>(level), static_cast<std::size_t>(used),
           kMaxRefinedFaces);
  if (used == 0) return false;

  const MapPlan plan = planMaps(object);
  Refined refined;
  refined.facetFirst.assign(object.polygons.size(), 0);
  refined.facetCount.assign(object.polygons.size(), 0);
  refined.vertexData.resize(plan.vertex.size());
  refined.pointSamples.resize(object.vertexMaps.size());
  refined.cornerSample.resize(object.vertexMaps.size());
  for (const std::uint8_t kind : {kPolygonPatch, kPolygonCatmullClark}) {
    CageRefiner(object, plan, kind, rateOf(kind, used), refined).run();
  }
  if (refined.foldedCreases > 0)
    report(sink, Message::kFoldedCreasesIgnored, name, refined.foldedCreases);
  replaceCages(object, plan, refined);
  return true;
}

#endif

}  // namespace torvo
