// Small builders that write LightWave objects and scenes, TGA and BMP images as bytes.
// Used by the tests, the fuzz seeds, the benchmarks and the example generator.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace lwbuild {

using Bytes = std::vector<std::uint8_t>;

inline void putU8(Bytes& b, unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); }
inline void putBE16(Bytes& b, unsigned v) {
  putU8(b, (v >> 8) & 0xFF);
  putU8(b, v & 0xFF);
}
inline void putBE32(Bytes& b, std::uint32_t v) {
  putBE16(b, v >> 16);
  putBE16(b, v & 0xFFFF);
}
inline void putBEFloat(Bytes& b, float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  putBE32(b, bits);
}
inline void putLE32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) putU8(b, (v >> (8 * i)) & 0xFF);
}
inline void putId(Bytes& b, const char* id) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(id[i]));
}
inline void putText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
// NUL-terminated string padded to an even length, as LightWave stores names.
inline void putPaddedString(Bytes& b, const std::string& s) {
  putText(b, s);
  putU8(b, 0);
  if ((s.size() + 1) % 2 != 0) putU8(b, 0);
}

// One SURF sub-chunk: id, 16-bit length, data.
struct SubChunk {
  std::string id;
  Bytes data;
};

inline SubChunk sub(const char* id, Bytes data) { return SubChunk{id, std::move(data)}; }
inline SubChunk subU16(const char* id, unsigned v) {
  Bytes d;
  putBE16(d, v);
  return sub(id, d);
}
inline SubChunk subFloat(const char* id, float f) {
  Bytes d;
  putBEFloat(d, f);
  return sub(id, d);
}
inline SubChunk subVec(const char* id, float x, float y, float z) {
  Bytes d;
  putBEFloat(d, x);
  putBEFloat(d, y);
  putBEFloat(d, z);
  return sub(id, d);
}
inline SubChunk subString(const char* id, const std::string& s) {
  Bytes d;
  putPaddedString(d, s);
  return sub(id, d);
}
inline SubChunk subColor(unsigned r, unsigned g, unsigned bl) {
  return sub("COLR", Bytes{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                           static_cast<std::uint8_t>(bl), 0});
}

// Builds a FORM/LWOB file chunk by chunk, in the order the calls are made.
class LwobBuilder {
 public:
  struct Polygon {
    std::vector<unsigned> corners;
    int surface;  // 1-based as in the file; negative marks detail polygons follow
    int detailCount = 0;
  };

  LwobBuilder& surfaces(const std::vector<std::string>& names) {
    Bytes d;
    for (const auto& n : names) putPaddedString(d, n);
    return chunk("SRFS", d);
  }
  LwobBuilder& points(const std::vector<float>& xyz) {
    Bytes d;
    for (float f : xyz) putBEFloat(d, f);
    return chunk("PNTS", d);
  }
  LwobBuilder& polygons(const std::vector<Polygon>& polys) {
    Bytes d;
    for (const auto& p : polys) {
      putBE16(d, static_cast<unsigned>(p.corners.size()));
      for (unsigned c : p.corners) putBE16(d, c);
      putBE16(d, static_cast<unsigned>(static_cast<std::uint16_t>(p.surface)));
      if (p.surface < 0) putBE16(d, static_cast<unsigned>(p.detailCount));
    }
    return chunk("POLS", d);
  }
  LwobBuilder& surface(const std::string& name, const std::vector<SubChunk>& subs) {
    Bytes d;
    putPaddedString(d, name);
    for (const auto& s : subs) {
      putText(d, s.id);
      putBE16(d, static_cast<unsigned>(s.data.size()));
      d.insert(d.end(), s.data.begin(), s.data.end());
    }
    return chunk("SURF", d);
  }
  // Any chunk, written as given (no pad byte is added).
  LwobBuilder& chunk(const char* id, const Bytes& data) {
    putId(body_, id);
    putBE32(body_, static_cast<std::uint32_t>(data.size()));
    body_.insert(body_.end(), data.begin(), data.end());
    return *this;
  }

  Bytes bytes(const char* formType = "LWOB") const {
    Bytes out;
    putId(out, "FORM");
    putBE32(out, static_cast<std::uint32_t>(body_.size() + 4));
    putId(out, formType);
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
  }

 private:
  Bytes body_;
};

// A chunk with a 4-byte length, padded to even (LWO2 chunks; every chunk in LWO3).
inline void putChunk32(Bytes& b, const char* id, const Bytes& data) {
  putId(b, id);
  putBE32(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) putU8(b, 0);
}
inline void putForm(Bytes& b, const char* type, const Bytes& data) {
  Bytes body;
  putId(body, type);
  body.insert(body.end(), data.begin(), data.end());
  putChunk32(b, "FORM", body);
}
// LWO2 pieces: variable-length indices, sub-chunks (16-bit lengths, padded to even),
// float values followed by a (null) envelope index.
inline void putVX(Bytes& b, std::uint32_t index) {
  if (index < 0xFF00) {
    putBE16(b, index);
  } else {
    putBE32(b, 0xFF000000u | index);
  }
}
inline Bytes subChunks(const std::vector<SubChunk>& subs) {
  Bytes d;
  for (const auto& s : subs) {
    putText(d, s.id);
    putBE16(d, static_cast<unsigned>(s.data.size()));
    d.insert(d.end(), s.data.begin(), s.data.end());
    if (s.data.size() % 2 != 0) putU8(d, 0);
  }
  return d;
}
inline SubChunk subValue(const char* id, float f) {
  Bytes d;
  putBEFloat(d, f);
  putVX(d, 0);
  return sub(id, d);
}
inline SubChunk subRGB(float r, float g, float bl) {
  Bytes d;
  for (float f : {r, g, bl}) putBEFloat(d, f);
  putVX(d, 0);
  return sub("COLR", d);
}
inline SubChunk subVecEnv(const char* id, float x, float y, float z) {
  SubChunk s = subVec(id, x, y, z);
  putVX(s.data, 0);
  return s;
}

// An image-map BLOK: header (ordinal, channel, enable), TMAP centre and size, then the
// other sub-chunks as given (PROJ, AXIS, IMAG, WRPW, VMAP, ...).
inline SubChunk imageBlock(const char* channel, bool enabled, const float (&center)[3], const float (&size)[3],
                           const std::vector<SubChunk>& rest) {
  Bytes header;
  putPaddedString(header, "\x80");
  const Bytes chan(channel, channel + 4);
  const Bytes inner = subChunks({sub("CHAN", chan), subU16("ENAB", enabled ? 1 : 0)});
  header.insert(header.end(), inner.begin(), inner.end());
  std::vector<SubChunk> all = {sub("IMAP", header),
                               sub("TMAP", subChunks({subVecEnv("CNTR", center[0], center[1], center[2]),
                                                      subVecEnv("SIZE", size[0], size[1], size[2]),
                                                      subU16("CSYS", 0)}))};
  all.insert(all.end(), rest.begin(), rest.end());
  return sub("BLOK", subChunks(all));
}

// Builds a FORM/LWO2 file chunk by chunk, in the order the calls are made; chunks of
// odd length get their pad byte.
class Lwo2Builder {
 public:
  Lwo2Builder& tags(const std::vector<std::string>& names) {
    Bytes d;
    for (const auto& n : names) putPaddedString(d, n);
    return chunk("TAGS", d);
  }
  Lwo2Builder& layer(unsigned number, const std::string& name = "", std::vector<float> pivot = {0, 0, 0},
                     int parent = -1) {
    Bytes d;
    putBE16(d, number);
    putBE16(d, 0);
    for (float f : pivot) putBEFloat(d, f);
    putPaddedString(d, name);
    if (parent >= 0) putBE16(d, static_cast<unsigned>(parent));
    return chunk("LAYR", d);
  }
  Lwo2Builder& points(const std::vector<float>& xyz) {
    Bytes d;
    for (float f : xyz) putBEFloat(d, f);
    return chunk("PNTS", d);
  }
  Lwo2Builder& polygons(const std::vector<std::vector<std::uint32_t>>& polys, const char* type = "FACE") {
    Bytes d;
    putId(d, type);
    for (const auto& p : polys) {
      putBE16(d, static_cast<unsigned>(p.size()));
      for (std::uint32_t c : p) putVX(d, c);
    }
    return chunk("POLS", d);
  }
  // (polygon, tag) pairs.
  Lwo2Builder& polygonTags(const std::vector<std::pair<std::uint32_t, unsigned>>& tagOf, const char* type = "SURF") {
    Bytes d;
    putId(d, type);
    for (const auto& [polygon, tag] : tagOf) {
      putVX(d, polygon);
      putBE16(d, tag);
    }
    return chunk("PTAG", d);
  }
  struct MapEntry {
    std::uint32_t point;
    std::uint32_t polygon;  // VMAD only
    std::vector<float> values;
  };
  Lwo2Builder& vertexMap(const char* type, const std::string& name, unsigned dimension,
                         const std::vector<MapEntry>& entries, bool perPolygon = false) {
    Bytes d;
    putId(d, type);
    putBE16(d, dimension);
    putPaddedString(d, name);
    for (const auto& e : entries) {
      putVX(d, e.point);
      if (perPolygon) putVX(d, e.polygon);
      for (float f : e.values) putBEFloat(d, f);
    }
    return chunk(perPolygon ? "VMAD" : "VMAP", d);
  }
  Lwo2Builder& clip(std::uint32_t index, const std::string& image) {
    Bytes d;
    putBE32(d, index);
    Bytes name;
    putPaddedString(name, image);
    const Bytes subs = subChunks({sub("STIL", name)});
    d.insert(d.end(), subs.begin(), subs.end());
    return chunk("CLIP", d);
  }
  Lwo2Builder& surface(const std::string& name, const std::vector<SubChunk>& subs) {
    Bytes d;
    putPaddedString(d, name);
    putPaddedString(d, "");
    const Bytes s = subChunks(subs);
    d.insert(d.end(), s.begin(), s.end());
    return chunk("SURF", d);
  }
  Lwo2Builder& chunk(const char* id, const Bytes& data) {
    putChunk32(body_, id, data);
    return *this;
  }
  Bytes bytes() const {
    Bytes out;
    putForm(out, "LWO2", body_);
    return out;
  }

 private:
  Bytes body_;
};

// Points and polygons of an object, before they are written.
struct Geometry {
  std::vector<float> points;
  std::vector<LwobBuilder::Polygon> polygons;
};

// A UV sphere of `segments` x `bands` polygons around the y axis with one point at each
// pole (triangles there, quads elsewhere), polygons in band order, each on the 1-based
// surface surfaceOf(band, segment) returns. 256 x 255 gives 65,026 points and 65,280
// polygons, about the most a file's 16-bit point indices allow.
template <class SurfaceOf>
Geometry uvSphere(unsigned segments, unsigned bands, double radius, SurfaceOf surfaceOf) {
  const double pi = 3.14159265358979323846;
  Geometry g;
  g.points = {0, static_cast<float>(radius), 0};
  for (unsigned band = 1; band < bands; ++band) {
    const double theta = band * pi / bands;
    for (unsigned s = 0; s < segments; ++s) {
      const double phi = s * 2.0 * pi / segments;
      g.points.push_back(static_cast<float>(radius * std::sin(theta) * std::cos(phi)));
      g.points.push_back(static_cast<float>(radius * std::cos(theta)));
      g.points.push_back(static_cast<float>(radius * std::sin(theta) * std::sin(phi)));
    }
  }
  g.points.push_back(0);
  g.points.push_back(static_cast<float>(-radius));
  g.points.push_back(0);
  const unsigned south = static_cast<unsigned>(g.points.size() / 3 - 1);
  auto ring = [segments](unsigned band, unsigned s) { return 1 + (band - 1) * segments + s % segments; };
  for (unsigned band = 0; band < bands; ++band) {
    for (unsigned s = 0; s < segments; ++s) {
      const int surface = surfaceOf(band, s);
      if (band == 0) {
        g.polygons.push_back({{0, ring(1, s + 1), ring(1, s)}, surface});
      } else if (band == bands - 1) {
        g.polygons.push_back({{ring(band, s), ring(band, s + 1), south}, surface});
      } else {
        g.polygons.push_back({{ring(band, s), ring(band, s + 1), ring(band + 1, s + 1), ring(band + 1, s)}, surface});
      }
    }
  }
  return g;
}

inline Geometry uvSphere(unsigned segments, unsigned bands, double radius) {
  return uvSphere(segments, bands, radius, [](unsigned, unsigned) { return 1; });
}

// One surface's values as both object formats express them: LWOB integers (256 is
// 100 %), the projection as LWO2's PROJ (-1: no colour texture), the axis 0, 1, 2.
struct TwinSurface {
  std::string name;
  unsigned rgb[3] = {200, 200, 200};
  int diffuse = 256;
  int luminosity = 0;
  int specular = 0;
  int glossiness = 64;
  int transparency = 0;
  float smoothing = 0;  // radians; 0 is flat
  bool doubleSided = false;
  int projection = -1;
  int axis = 0;
  float center[3] = {0, 0, 0};
  float size[3] = {1, 1, 1};
  float wrapW = 1;
  float wrapH = 1;
  std::string image{};
};

// The same object as FORM/LWOB and as FORM/LWO2 (one layer; image n of the surfaces is CLIP n + 1).
inline Bytes lwobTwin(const Geometry& g, const std::vector<TwinSurface>& surfaces) {
  static const char* const kTexts[] = {"Planar Image Map", "Cylindrical Image Map", "Spherical Image Map",
                                       "Cubic Image Map", "Front Projection Image Map"};
  LwobBuilder b;
  std::vector<std::string> names;
  for (const auto& s : surfaces) names.push_back(s.name);
  b.surfaces(names).points(g.points).polygons(g.polygons);
  for (const auto& s : surfaces) {
    std::vector<SubChunk> subs = {subColor(s.rgb[0], s.rgb[1], s.rgb[2]),
                                  subU16("FLAG", (s.smoothing > 0 ? 4u : 0u) | (s.doubleSided ? 0x100u : 0u)),
                                  subU16("DIFF", s.diffuse), subU16("LUMI", s.luminosity), subU16("SPEC", s.specular),
                                  subU16("GLOS", s.glossiness), subU16("TRAN", s.transparency)};
    if (s.smoothing > 0) subs.push_back(subFloat("SMAN", s.smoothing));
    if (s.projection >= 0)
      subs.insert(subs.end(), {subString("CTEX", kTexts[s.projection]), subString("TIMG", s.image),
                               subU16("TFLG", 1u << s.axis), subVec("TSIZ", s.size[0], s.size[1], s.size[2]),
                               subVec("TCTR", s.center[0], s.center[1], s.center[2]), subFloat("TFP0", s.wrapW),
                               subFloat("TFP1", s.wrapH)});
    b.surface(s.name, subs);
  }
  return b.bytes();
}

// The end of the S0 string at p (its NUL and pad byte included), at most n bytes on.
inline std::size_t paddedStringEnd(const std::uint8_t* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n && p[i] != 0) ++i;
  return std::min(n, (i + 2) & ~std::size_t{1});
}
// LWO2 sub-chunks (16-bit lengths) as LWO3 chunks: BLOK, its header (IMAP, PROC, GRAD,
// SHDR: the ordinal string in a leading chunk of four spaces), TMAP and STIL (the path in
// such a chunk) become FORMs. A sub-chunk called FORM holds an LWO3 FORM's type and body.
inline Bytes lwo3SubChunks(const std::uint8_t* p, std::size_t n) {
  Bytes out;
  while (n >= 6) {
    const char id[5] = {char(p[0]), char(p[1]), char(p[2]), char(p[3]), 0};
    const std::size_t length = std::min<std::size_t>((std::size_t{p[4]} << 8) | p[5], n - 6);
    const std::uint8_t* data = p + 6;
    const std::string name(id);
    if (name == "BLOK" || name == "TMAP") {
      putForm(out, id, lwo3SubChunks(data, length));
    } else if (name == "IMAP" || name == "PROC" || name == "GRAD" || name == "SHDR") {
      const std::size_t ordinal = paddedStringEnd(data, length);
      Bytes header;
      putChunk32(header, "    ", Bytes(data, data + ordinal));
      const Bytes rest = lwo3SubChunks(data + ordinal, length - ordinal);
      header.insert(header.end(), rest.begin(), rest.end());
      putForm(out, id, header);
    } else if (name == "STIL") {
      Bytes path;
      putChunk32(path, "    ", Bytes(data, data + length));
      putForm(out, id, path);
    } else {
      putChunk32(out, id, Bytes(data, data + length));
    }
    const std::size_t step = std::min(n, 6 + length + length % 2);
    p += step;
    n -= step;
  }
  return out;
}
// The LWO3 twin of an LWO2 file: the same chunks in the same order, SURF and CLIP as
// FORMs (a clip's index in a leading chunk); `extraSurface` adds chunks (a node graph, ...) at the end of every surface, and
// `nameLead` zero bytes go before each surface's name (assimp's reader wants 8).
inline Bytes toLwo3(const Bytes& lwo2, const Bytes& extraSurface = {}, std::size_t nameLead = 0) {
  Bytes body;
  putId(body, "LWO3");
  for (std::size_t at = 12; at + 8 <= lwo2.size();) {
    const char id[5] = {char(lwo2[at]), char(lwo2[at + 1]), char(lwo2[at + 2]), char(lwo2[at + 3]), 0};
    const std::size_t length = std::min<std::size_t>(
        (std::size_t{lwo2[at + 4]} << 24) | (std::size_t{lwo2[at + 5]} << 16) | (std::size_t{lwo2[at + 6]} << 8) | lwo2[at + 7],
        lwo2.size() - at - 8);
    const std::uint8_t* data = lwo2.data() + at + 8;
    const std::string name(id);
    if (name == "SURF") {
      std::size_t head = paddedStringEnd(data, length);
      head += paddedStringEnd(data + head, length - head);
      Bytes surface(nameLead, 0);
      surface.insert(surface.end(), data, data + head);
      const Bytes rest = lwo3SubChunks(data + head, length - head);
      surface.insert(surface.end(), rest.begin(), rest.end());
      surface.insert(surface.end(), extraSurface.begin(), extraSurface.end());
      putForm(body, "SURF", surface);
    } else if (name == "CLIP" && length >= 4) {
      Bytes clip;
      putChunk32(clip, "    ", Bytes(data, data + 4));
      const Bytes rest = lwo3SubChunks(data + 4, length - 4);
      clip.insert(clip.end(), rest.begin(), rest.end());
      putForm(body, "CLIP", clip);
    } else {
      putChunk32(body, id, Bytes(data, data + length));
    }
    at += 8 + length + length % 2;
  }
  Bytes file;
  putChunk32(file, "FORM", body);
  return file;
}

// LWO3 node graphs, as LightWave 2018 and later keep a surface's material.
inline void putBEDouble(Bytes& b, double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, 8);
  putBE32(b, static_cast<std::uint32_t>(bits >> 32));
  putBE32(b, static_cast<std::uint32_t>(bits));
}
inline Bytes s0(const std::string& s) {
  Bytes d;
  putPaddedString(d, s);
  return d;
}
inline Bytes be32(std::uint32_t v) {
  Bytes d;
  putBE32(d, v);
  return d;
}

// One attribute of a material node: a vparam (one double) or vparam3 (three); `type` names
// another value type ("int", "double", or one no file has); `extra` follows the doubles
// (an envelope); `layers` are the texture BLOK FORMs inside it.
struct NodeAttr {
  std::string name;
  std::vector<double> value;
  std::string type = {};
  Bytes extra = {};
  Bytes layers = {};
};
// A node: a material node with attributes, or an Image node with a path, UV map and projection.
struct Node {
  std::string type, name;
  std::vector<NodeAttr> attrs = {};
  std::string image = {};
  std::string uvMap = {};
  unsigned projection = 5;
};
// A connection: destination node and input, source node and output.
struct Wire {
  std::string to, input, from, output;
};

inline Bytes nodeEntry(const NodeAttr& a) {
  const std::string type = !a.type.empty() ? a.type : a.value.size() == 3 ? "vparam3" : "vparam";
  Bytes lead = s0(type), value, entry, out;
  if (type == "int") putBE32(lead, static_cast<std::uint32_t>(static_cast<std::int32_t>(a.value.at(0))));
  if (type == "double") putBEDouble(lead, a.value.at(0));
  putChunk32(value, "    ", lead);
  if (type.starts_with("vparam")) {
    Bytes inner = be32(static_cast<std::uint32_t>(a.value.size())), nested;
    for (double d : a.value) putBEDouble(inner, d);
    inner.insert(inner.end(), a.extra.begin(), a.extra.end());
    putChunk32(nested, "    ", inner);
    putForm(value, "VALU", nested);
    if (!a.layers.empty()) putForm(value, "TXTR", a.layers);
  }
  putChunk32(entry, "NAME", s0(a.name));
  putChunk32(entry, "FLAG", be32(0));
  putForm(entry, "VALU", value);
  putForm(out, "ENTR", entry);
  return out;
}

// The type and body of a surface's FORM NODS: a Surface node named Surface, then the
// nodes and the connections as given.
inline Bytes nodeGraph(const std::vector<Node>& nodes, const std::vector<Wire>& wires) {
  Bytes list, connections, graph = {'N', 'O', 'D', 'S'};
  std::vector<Node> all = {{"Surface", "Surface"}};
  all.insert(all.end(), nodes.begin(), nodes.end());
  for (const Node& n : all) {
    Bytes tag, data, adat, meta, kind, clip, stil, iimg;
    putChunk32(list, "NSRV", s0(n.type));
    putChunk32(tag, "NRNM", s0(n.type));
    putChunk32(tag, "NNME", s0(n.name));
    for (const NodeAttr& a : n.attrs) {
      const Bytes entry = nodeEntry(a);
      adat.insert(adat.end(), entry.begin(), entry.end());
    }
    if (!n.attrs.empty()) {
      putChunk32(meta, "VERS", be32(1));
      putChunk32(meta, "ENUM", be32(0));
      putForm(meta, "ADAT", adat);
      putForm(kind, "META", meta);
      putForm(data, n.type == "Standard" ? "SATR" : "ATTR", kind);
    }
    if (!n.image.empty()) {
      putChunk32(stil, "    ", s0(n.image));
      putForm(clip, "STIL", stil);
      putForm(iimg, "CLIP", clip);
      putChunk32(iimg, "IUVI", s0(n.uvMap));
      putChunk32(iimg, "IMAP", be32(n.projection));
      putForm(data, "IIMG", iimg);
    }
    putForm(tag, "NDTA", data);
    putForm(list, "NTAG", tag);
  }
  for (const Wire& w : wires) {
    putChunk32(connections, "INME", s0(w.to));
    putChunk32(connections, "IINM", s0(w.input));
    putChunk32(connections, "IINN", s0(w.from));
    putChunk32(connections, "IONM", s0(w.output));
  }
  putChunk32(graph, "NVER", be32(1));
  putForm(graph, "NNDS", list);
  putForm(graph, "NCON", connections);
  return graph;
}

// A graph whose Material input is fed by one material node.
inline Bytes materialGraph(const Node& material) {
  return nodeGraph({material}, {{"Surface", "Material", material.name, "Material"}});
}

// With `nodeGraphs`, each surface keeps its values in a connected Standard node instead (its
// image as a texture layer inside Color), for the LWO3 twin that toLwo3 makes of it.
inline Bytes lwo2Twin(const Geometry& g, const std::vector<TwinSurface>& surfaces, bool nodeGraphs = false,
                      const char* type = "FACE") {
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::pair<std::uint32_t, unsigned>> tags;
  for (const auto& p : g.polygons) {
    tags.push_back({static_cast<std::uint32_t>(faces.size()), static_cast<unsigned>(p.surface - 1)});
    faces.push_back(std::vector<std::uint32_t>(p.corners.begin(), p.corners.end()));
  }
  Lwo2Builder b;
  std::vector<std::string> names;
  for (const auto& s : surfaces) names.push_back(s.name);
  b.tags(names).layer(0).points(g.points).polygons(faces, type).polygonTags(tags);
  for (std::uint32_t i = 0; i < surfaces.size(); ++i) {
    const TwinSurface& s = surfaces[i];
    if (!s.image.empty()) b.clip(i + 1, s.image);
    const double gloss = (std::log2(s.glossiness) - 2) / 10;
    std::vector<SubChunk> subs = {
        subRGB(s.rgb[0] / 255.0f, s.rgb[1] / 255.0f, s.rgb[2] / 255.0f), subValue("DIFF", s.diffuse / 256.0f),
        subValue("LUMI", s.luminosity / 256.0f), subValue("SPEC", s.specular / 256.0f),
        subValue("TRAN", s.transparency / 256.0f), subValue("GLOS", static_cast<float>(gloss))};
    std::vector<SubChunk> blocks;
    if (s.projection >= 0)
      blocks.push_back(imageBlock("COLR", true, s.center, s.size,
                                  {subU16("PROJ", static_cast<unsigned>(s.projection)),
                                   subU16("AXIS", static_cast<unsigned>(s.axis)),
                                   subU16("IMAG", s.image.empty() ? 0 : i + 1), subValue("WRPW", s.wrapW),
                                   subValue("WRPH", s.wrapH)}));
    if (nodeGraphs) {
      const Bytes layers = subChunks(blocks);
      const NodeAttr colour{"Color", {s.rgb[0] / 255.0, s.rgb[1] / 255.0, s.rgb[2] / 255.0}, {}, {}, lwo3SubChunks(layers.data(), layers.size())};
      subs = {sub("FORM", materialGraph({"Standard", "Standard (1)",
                                         {colour, {"Diffuse", {s.diffuse / 256.0}}, {"Luminosity", {s.luminosity / 256.0}},
                                          {"Specular", {s.specular / 256.0}}, {"Transparency", {s.transparency / 256.0}},
                                          {"Glossiness", {gloss}}}}))};
      blocks.clear();
    }
    if (s.smoothing > 0) subs.push_back(subFloat("SMAN", s.smoothing));
    if (s.doubleSided) subs.push_back(subU16("SIDE", 3));
    subs.insert(subs.end(), blocks.begin(), blocks.end());
    b.surface(s.name, subs);
  }
  return b.bytes();
}

// One motion key as a scene file writes it.
struct SceneKey {
  double values[9] = {0, 0, 0, 0, 0, 0, 1, 1, 1};  // x y z  h p b  sx sy sz
  int frame = 0;
  int linear = 0;
  double tension = 0;
  double continuity = 0;
  double bias = 0;
};

inline SceneKey key(int frame, double x, double y, double z, double h = 0, double p = 0, double b = 0,
                    double sx = 1, double sy = 1, double sz = 1, int linear = 0) {
  SceneKey k;
  double v[9] = {x, y, z, h, p, b, sx, sy, sz};
  std::memcpy(k.values, v, sizeof v);
  k.frame = frame;
  k.linear = linear;
  return k;
}

// Builds LWSC text line by line.
class LwscBuilder {
 public:
  explicit LwscBuilder(int first = 0, int last = 60) {
    line("LWSC");
    line("1");
    line("");
    line("FirstFrame " + std::to_string(first));
    line("LastFrame " + std::to_string(last));
    line("FrameStep 1");
    line("");
  }
  LwscBuilder& line(const std::string& text) {
    text_ += text;
    text_ += "\n";
    return *this;
  }
  LwscBuilder& motion(const char* keyword, const std::vector<SceneKey>& keys) {
    line(keyword);
    line("9");
    line(std::string(" ").append(std::to_string(keys.size())));
    for (const auto& k : keys) {
      char buf[512];
      std::snprintf(buf, sizeof buf, " %g %g %g %g %g %g %g %g %g", k.values[0], k.values[1], k.values[2],
                    k.values[3], k.values[4], k.values[5], k.values[6], k.values[7], k.values[8]);
      line(buf);
      std::snprintf(buf, sizeof buf, " %d %d %g %g %g", k.frame, k.linear, k.tension, k.continuity, k.bias);
      line(buf);
    }
    return *this;
  }
  LwscBuilder& loadObject(const std::string& path, const std::vector<SceneKey>& keys, int parent = 0) {
    line("LoadObject " + path);
    motion("ObjectMotion (unnamed)", keys);
    if (parent > 0) line(std::string("ParentObject ").append(std::to_string(parent)));
    line("");
    return *this;
  }
  // A bone block (see BoneBlock) with its version 1 keys.
  LwscBuilder& bone(const struct BoneBlock& block, const std::vector<SceneKey>& keys);
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// One bone block of a scene, as LightWave writes it.
struct BoneBlock {
  std::string name = "Bone";
  double position[3] = {0, 0, 0}, direction[3] = {0, 0, 0};  // rest; direction in degrees
  double length = 1;
  double strength = 1;
  std::string map;  // BoneWeightMapName; empty: none
  int mapOnly = 0;
  int normalize = 0;
  int active = 1;
  int scaleStrength = 0;
  double range[2] = {-1, -1};  // BoneMinRange and BoneMaxRange, limited when the outer is set
  std::string parent;          // the parent line as written ("ParentItem 40000000", "ParentObject 1"); empty: none
  std::vector<std::string> more;  // further lines of the block, after the rest
};

// Numbers of bone lines as LightWave writes them: every digit a double holds.
inline std::string exact(std::initializer_list<double> values) {
  std::string out;
  char buf[32];
  for (double v : values) {
    std::snprintf(buf, sizeof buf, " %.17g", v);
    out += buf;
  }
  return out;
}

inline std::vector<std::string> boneLines(const BoneBlock& b) {
  std::vector<std::string> out = {"BoneName " + b.name, "BoneActive " + std::to_string(b.active),
                                  "BoneRestPosition" + exact({b.position[0], b.position[1], b.position[2]}),
                                  "BoneRestDirection" + exact({b.direction[0], b.direction[1], b.direction[2]}),
                                  "BoneRestLength" + exact({b.length}), "BoneStrength" + exact({b.strength}),
                                  "ScaleBoneStrength " + std::to_string(b.scaleStrength)};
  if (b.range[1] >= 0)
    out.insert(out.end(), {"BoneLimitedRange 1", "BoneMinRange" + exact({b.range[0]}), "BoneMaxRange" + exact({b.range[1]})});
  if (!b.map.empty())
    out.insert(out.end(), {"BoneWeightMapName " + b.map, "BoneWeightMapOnly " + std::to_string(b.mapOnly),
                           "BoneNormalization " + std::to_string(b.normalize)});
  out.insert(out.end(), b.more.begin(), b.more.end());
  return out;
}

inline LwscBuilder& LwscBuilder::bone(const BoneBlock& block, const std::vector<SceneKey>& keys) {
  line("AddBone");
  for (const std::string& l : boneLines(block)) line(l);
  motion("BoneMotion (unnamed)", keys);
  if (!block.parent.empty()) line(block.parent);
  return *this;
}

// LWO2 with `layers` layers, all of surface Paint: LAYR number n has pivot (n / 4, 0, 0)
// and n + 1 triangles.
inline Bytes lwo2Layers(unsigned layers) {
  Lwo2Builder o;
  o.tags({"Paint"});
  for (unsigned layer = 0; layer < layers; ++layer) {
    std::vector<float> points;
    std::vector<std::vector<std::uint32_t>> faces;
    std::vector<std::pair<std::uint32_t, unsigned>> tags;
    for (unsigned p = 0; p <= layer + 2; ++p) points.insert(points.end(), {float(p % 2), float(p / 2), 0.0f});
    for (std::uint32_t f = 0; f <= layer; ++f) {
      faces.push_back({f, f + 1, f + 2});
      tags.push_back({f, 0});
    }
    o.layer(layer, layer == 0 ? "L0" : "Ln", {layer * 0.25f, 0, 0}).points(points).polygons(faces).polygonTags(tags);
  }
  return o.bytes();
}

// One key of a channel envelope (scenes of version 2 and later): p holds the six curve
// parameters of a later version's Key line; version 2 writes the first three.
struct ChannelKey {
  double value = 0;
  double time = 0;  // seconds
  int shape = 0;
  double p[6] = {0, 0, 0, 0, 0, 0};
};

inline ChannelKey ckey(double time, double value, int shape = 0) {
  ChannelKey k;
  k.time = time;
  k.value = value;
  k.shape = shape;
  return k;
}

// Builds the text of a version 2 to 5 scene line by line.
class LaterSceneBuilder {
 public:
  LaterSceneBuilder(int version, int first, int last, double fps = 30) : version_(version) {
    line("LWSC").line(std::to_string(version)).line("");
    line("FirstFrame " + std::to_string(first)).line("LastFrame " + std::to_string(last));
    char buf[64];
    std::snprintf(buf, sizeof buf, "FramesPerSecond %g", fps);
    line(buf).line("");
  }
  LaterSceneBuilder& line(const std::string& text) {
    text_ += text;
    text_ += "\n";
    return *this;
  }
  // Keys of one channel: a "{ Envelope" block, or version 2's key count and key lines.
  LaterSceneBuilder& envelope(const std::vector<ChannelKey>& keys, int pre = 1, int post = 1) {
    if (version_ >= 3) line("{ Envelope");
    line("  " + std::to_string(keys.size()));
    for (const ChannelKey& k : keys) {
      char buf[512];
      if (version_ >= 3) {
        std::snprintf(buf, sizeof buf, "  Key %.17g %.17g %d %.17g %.17g %.17g %.17g %.17g %.17g", k.value, k.time,
                      k.shape, k.p[0], k.p[1], k.p[2], k.p[3], k.p[4], k.p[5]);
      } else {
        std::snprintf(buf, sizeof buf, "  %.9g %.9g %d %g %g %g", k.value, k.time, k.shape == 0 ? 2 : k.shape, k.p[0],
                      k.p[1], k.p[2]);
      }
      line(buf);
    }
    if (version_ >= 3) line("  Behaviors " + std::to_string(pre) + " " + std::to_string(post)).line("}");
    return *this;
  }
  // A motion block of channels 0, 1, ... (missing ones written as one key of 0 or 1).
  LaterSceneBuilder& motion(const char* keyword, std::vector<std::vector<ChannelKey>> channels, int count = 9,
                            int post = 1) {
    channels.resize(static_cast<std::size_t>(count));
    for (std::size_t c = 0; c < channels.size(); ++c) {
      if (channels[c].empty()) channels[c].push_back(ckey(0, c >= 6 ? 1 : 0));
    }
    line(keyword);
    line(version_ >= 3 ? "NumChannels " + std::to_string(count) : "  " + std::to_string(count));
    std::string behaviors = "Pre/PostBehavior";
    for (std::size_t c = 0; c < channels.size(); ++c) {
      if (version_ >= 3) line("Channel " + std::to_string(c));
      envelope(channels[c], 1, post);
      behaviors += " 1 " + std::to_string(post);
    }
    if (version_ < 3) line(behaviors);
    return *this;
  }
  // A bone block (see BoneBlock) with its channels; id follows AddBone (versions 4 and 5).
  LaterSceneBuilder& bone(const BoneBlock& block, std::vector<std::vector<ChannelKey>> channels, const std::string& id = "") {
    line(id.empty() ? "AddBone" : "AddBone " + id);
    for (const std::string& l : boneLines(block)) line(l);
    motion("BoneMotion", std::move(channels));
    if (!block.parent.empty()) line(block.parent);
    return *this;
  }
  const std::string& text() const { return text_; }

 private:
  int version_;
  std::string text_;
};

// A closed cube of side 2 around the origin as a subdivision cage of `type` (PTCH or SUBD),
// point i at x, y, z = +1 where bit 0, 1, 2 is set, faces clockwise seen from outside (the
// first is the -z face), surface Skin. Extras, when asked: a UV map "uv" (VMPA `uvMode`)
// giving each point its (x, y) and overriding the first face's corners with u + 2 (a seam
// round that face), weight maps Low and High (z = -1 and z = +1, summing to 1), an Edge
// Weight of 1 on the first face's first edge, and MNVW weights on two points. `lift` moves
// point 7 that far along each axis.
inline Bytes patchCube(const char* type, bool extras = false, unsigned uvMode = 0, float lift = 0.0f) {
  std::vector<float> points;
  for (int i = 0; i < 8; ++i)
    points.insert(points.end(), {i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f});
  for (int k = 21; k < 24; ++k) points[k] += lift;
  const std::vector<std::vector<std::uint32_t>> faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 4, 6, 2},
                                                          {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}};
  Lwo2Builder o;
  o.tags({"Skin"}).layer(0).points(points).polygons(faces, type);
  o.polygonTags({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}});
  if (!extras) return o.bytes();
  std::vector<Lwo2Builder::MapEntry> uv, seam, low, high;
  for (std::uint32_t i = 0; i < 8; ++i) {
    uv.push_back({i, 0, {points[3 * i], points[3 * i + 1]}});
    (i & 4 ? high : low).push_back({i, 0, {1.0f}});
  }
  for (const std::uint32_t i : faces[0]) seam.push_back({i, 0, {points[3 * i] + 2.0f, points[3 * i + 1]}});
  Bytes mode;
  putBE32(mode, uvMode);
  putBE32(mode, 0);
  o.chunk("VMPA", mode).vertexMap("TXUV", "uv", 2, uv).vertexMap("TXUV", "uv", 2, seam, true);
  o.vertexMap("WGHT", "Low", 1, low).vertexMap("WGHT", "High", 1, high);
  o.vertexMap("WGHT", "Edge Weight", 1, {{0, 0, {1.0f}}}, true).vertexMap("MNVW", "SubPatch Weight", 1, {{0, 0, {0.5f}}, {7, 0, {-0.5f}}});
  return o.bytes();
}

// A column of 4 x 5 points from y = 0 to 2 (quads around it, surface Skin), with weight
// maps Lower (1 below y = 1, 0.5 at it, 0 above) and Upper (the rest), and, when asked,
// two skelegons from (0, 0, 0) to (0, 1, 0) to (0, 2, 0) named Lower and Upper that use them.
// With two surfaces, every other face is on surface Lower. The quads are polygons of `type`.
inline Bytes skinColumn(bool skelegons = false, bool twoSurfaces = false, const char* type = "FACE") {
  std::vector<float> points;
  std::vector<Lwo2Builder::MapEntry> lower, upper;
  for (int level = 0; level < 5; ++level) {
    for (const auto& [x, z] : {std::pair{-0.1f, -0.1f}, {0.1f, -0.1f}, {0.1f, 0.1f}, {-0.1f, 0.1f}}) {
      const float y = level * 0.5f, w = level < 2 ? 1.0f : level == 2 ? 0.5f : 0.0f;
      lower.push_back({static_cast<std::uint32_t>(points.size() / 3), 0, {w}});
      upper.push_back({static_cast<std::uint32_t>(points.size() / 3), 0, {1.0f - w}});
      points.insert(points.end(), {x, y, z});
    }
  }
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::pair<std::uint32_t, unsigned>> tags;
  for (std::uint32_t level = 0; level < 4; ++level)
    for (std::uint32_t k = 0; k < 4; ++k) {
      const std::uint32_t a = level * 4 + k, b = level * 4 + (k + 1) % 4;
      tags.push_back({static_cast<std::uint32_t>(faces.size()), twoSurfaces ? k % 2 : 0});
      faces.push_back({a, b, b + 4, a + 4});
    }
  Lwo2Builder o;
  o.tags({"Skin", "Lower", "Upper", "1 0 0"}).layer(0).points(points).polygons(faces, type).polygonTags(tags);
  o.vertexMap("WGHT", "Lower", 1, lower).vertexMap("WGHT", "Upper", 1, upper);
  if (skelegons) {  // in a layer of their own, as modellers keep them
    o.layer(1).points({0, 0, 0, 0, 1, 0, 0, 2, 0}).polygons({{0, 1}, {1, 2}}, "BONE");
    o.polygonTags({{0, 1}, {1, 2}}, "BONE").polygonTags({{0, 1}, {1, 2}}, "BNWT").polygonTags({{0, 3}, {1, 3}}, "BNUP");
  }
  return o.bytes();
}

// A character made as rigged characters are: layer 1 a column of bones + 1 levels of 4
// points, 0.5 apart, with quads on surface Skin (surface Spare is defined and unused) and
// a weight map Bn for each bone n (its level; the top level weighs for the last bone);
// layer 2 skelegons alone, one from each level to the next, named and weighed by Bn.
inline Bytes riggedCharacter(unsigned bones) {
  std::vector<std::string> tags = {"Skin", "Spare"};
  std::vector<float> points, spine;
  std::vector<std::vector<Lwo2Builder::MapEntry>> maps(bones);
  std::vector<std::vector<std::uint32_t>> faces, skelegons;
  std::vector<std::pair<std::uint32_t, unsigned>> skin, names;
  for (unsigned level = 0; level <= bones; ++level) {
    for (const auto& [x, z] : {std::pair{-0.1f, -0.1f}, {0.1f, -0.1f}, {0.1f, 0.1f}, {-0.1f, 0.1f}}) {
      maps[std::min(level, bones - 1)].push_back({static_cast<std::uint32_t>(points.size() / 3), 0, {1.0f}});
      points.insert(points.end(), {x, level * 0.5f, z});
    }
    spine.insert(spine.end(), {0.0f, level * 0.5f, 0.0f});
  }
  for (std::uint32_t bone = 0; bone < bones; ++bone) {
    tags.push_back("B" + std::to_string(bone));
    for (std::uint32_t k = 0; k < 4; ++k) {
      const std::uint32_t a = bone * 4 + k, b = bone * 4 + (k + 1) % 4;
      skin.push_back({static_cast<std::uint32_t>(faces.size()), 0});
      faces.push_back({a, b, b + 4, a + 4});
    }
    names.push_back({bone, bone + 2});
    skelegons.push_back({bone, bone + 1});
  }
  Lwo2Builder o;
  o.tags(tags).surface("Skin", {subRGB(0.8f, 0.6f, 0.5f)}).surface("Spare", {subRGB(0.1f, 0.2f, 0.9f)});
  o.layer(0, "Body").points(points).polygons(faces).polygonTags(skin);
  for (unsigned bone = 0; bone < bones; ++bone) o.vertexMap("WGHT", tags[bone + 2], 1, maps[bone]);
  o.layer(1, "Skeleton").points(spine).polygons(skelegons, "BONE").polygonTags(names, "BONE").polygonTags(names, "BNWT");
  return o.bytes();
}

// A version 3 scene of riggedCharacter(bones) in column.lwo, each layer an item: the body
// deformed by the bones of a null (UseBonesFrom), a chain up the column, each weighed by
// its map alone, each bending by `bend` degrees of pitch from the rest pose at frame 0 to
// frame 10.
inline std::string characterScene(unsigned bones, double bend) {
  const double r = 3.14159265358979323846 / 180;
  LaterSceneBuilder s(3, 0, 10);
  s.line("AddNullObject Skeleton").motion("ObjectMotion", {}).line("BoneFalloffType 5");
  for (unsigned bone = 0; bone < bones; ++bone) {
    BoneBlock b;
    b.name = "B" + std::to_string(bone);
    b.map = b.name;
    b.mapOnly = 1;
    b.length = 0.5;
    b.direction[1] = bone == 0 ? -90 : 0;
    b.position[2] = bone == 0 ? 0 : 0.5;
    char parent[40];
    std::snprintf(parent, sizeof parent, "ParentItem %08X", bone == 0 ? 0x10000000u : 0x40000000u | ((bone - 1) << 16));
    b.parent = parent;
    s.bone(b, {{}, {}, {ckey(0, bone == 0 ? 0 : 0.5)}, {}, {ckey(0, (bone == 0 ? -90 : 0) * r), ckey(10.0 / 30, (bone == 0 ? -90 : bend) * r)}});
  }
  s.line("LoadObjectLayer 1 column.lwo").motion("ObjectMotion", {}).line("UseBonesFrom 1");
  s.line("LoadObjectLayer 2 column.lwo").motion("ObjectMotion", {});
  return s.text();
}

// Uncompressed or run-length TGA: header fields as given, pixel bytes as given.
struct TgaSpec {
  int idLength = 0;
  int colorMapType = 0;
  int imageType = 2;
  int firstIndex = 0;
  int mapLength = 0;
  int mapEntrySize = 0;
  int width = 1;
  int height = 1;
  int pixelDepth = 24;
  int descriptor = 0;
};

inline Bytes tgaBytes(const TgaSpec& s, const Bytes& colorMap, const Bytes& pixels) {
  Bytes b;
  for (const auto& [value, width] : {std::pair{s.idLength, 1}, {s.colorMapType, 1}, {s.imageType, 1}, {s.firstIndex, 2},
                                     {s.mapLength, 2}, {s.mapEntrySize, 1}, {0, 4}, {s.width, 2}, {s.height, 2},
                                     {s.pixelDepth, 1}, {s.descriptor, 1}})
    for (int i = 0; i < width; ++i) putU8(b, static_cast<unsigned>(value) >> (8 * i));
  b.insert(b.end(), static_cast<std::size_t>(s.idLength), 'i');
  b.insert(b.end(), colorMap.begin(), colorMap.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

// BMP with a 40-byte info header; rows are given as stored (bottom row first for a
// positive height), already padded to 4 bytes.
inline Bytes bmpBytes(int width, int height, int bitsPerPixel, const Bytes& colorTable, const Bytes& rows,
                      unsigned compression = 0) {
  const auto offset = 54 + static_cast<std::uint32_t>(colorTable.size());
  const auto size = static_cast<std::uint32_t>(rows.size());
  const auto planesAndBits = 1 | static_cast<std::uint32_t>(bitsPerPixel) << 16;
  Bytes b = {'B', 'M'};
  for (std::uint32_t v : {offset + size, 0u, offset, 40u, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                          planesAndBits, compression, size, 2835u, 2835u, 0u, 0u})
    putLE32(b, v);
  b.insert(b.end(), colorTable.begin(), colorTable.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

inline bool writeFile(const std::string& path, const Bytes& data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

inline bool writeFile(const std::string& path, const std::string& text) {
  return writeFile(path, Bytes(text.begin(), text.end()));
}

// The column, its Lower bone standing up from the origin and Upper on top of it, both
// weighed by their maps alone; Upper turns by `bend` degrees of pitch at the first frame
// (and always turns by 90 at frame 10).
inline std::string columnScene(int version, double bend) {
  BoneBlock lower, upper;
  lower.name = "Lower", lower.direction[1] = -90, lower.map = "Lower", lower.mapOnly = 1;
  upper.name = "Upper", upper.position[2] = 1, upper.map = "Upper", upper.mapOnly = 1;
  if (version == 1) {
    upper.parent = "ParentObject 1";
    return LwscBuilder(0, 10).line("LoadObject column.lwo").motion("ObjectMotion (unnamed)", {key(0, 0, 0, 0)})
        .line("BoneFalloffType 5").bone(lower, {key(0, 0, 0, 0, 0, -90)}).bone(upper, {key(0, 0, 0, 1, 0, bend), key(10, 0, 0, 1, 0, 90)})
        .text();
  }
  const double r = 3.14159265358979323846 / 180;
  lower.parent = "ParentItem 10000000", upper.parent = "ParentItem 40000000";
  LaterSceneBuilder s(version, 0, 10);
  s.line(version >= 4 ? "LoadObjectLayer 1 10000000 column.lwo" : "LoadObjectLayer 1 column.lwo").motion("ObjectMotion", {});
  s.line("BoneFalloffType 5").bone(lower, {{}, {}, {}, {}, {ckey(0, -90 * r)}}, version >= 4 ? "40000000" : "");
  s.bone(upper, {{}, {}, {ckey(0, 1)}, {}, {ckey(0, bend * r), ckey(10.0 / 30, 90 * r)}}, version >= 4 ? "40010000" : "");
  return s.text();
}

}  // namespace lwbuild
