// LWO3 surfaces: LightWave 2018 and later keep a surface's material only in its node graph.
// The material is the node wired to the Surface node's Material input; its attribute values
// and its colour image (a texture layer inside its Color attribute, or an Image node wired
// to its Color input) fill the surface as the classic sub-chunks would.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "lwo/lwo2_shared.h"

namespace torvo {

namespace lwo2 {
namespace {

constexpr const char* kSurfaceType = "Surface";
constexpr const char* kMaterialInput = "Material";
constexpr const char* kColorInput = "Color";
// Material nodes whose attributes are all known; of any other type, only the attributes of
// the names below are read.
constexpr const char* kFullyRead[] = {"Standard", "Principled BSDF"};
// A vparam holds one double, a vparam3 three.
constexpr std::uint32_t kMaxComponents = 3;

struct Node {
  std::string type;
  std::string name;
  ChunkCursor data;  // FORM NDTA
};

struct Wire {
  std::string to, input, from, output;
};

struct Attribute {
  double value[kMaxComponents] = {0, 0, 0};
  std::uint32_t count = 0;  // 0: no value
  ChunkCursor texture;      // FORM TXTR, if any
};

struct Graph {
  std::vector<Node> nodes;
  std::unordered_map<std::string, std::size_t> byName;  // index in nodes
  std::vector<Wire> wires;
  bool damaged = false;
  int enveloped = 0;

  const Node* find(const std::string& name) const {
    const auto found = byName.find(name);
    return found != byName.end() ? &nodes[found->second] : nullptr;
  }
  // The source of the wire into a node's input: null when none is connected; marks the
  // graph damaged when the wire names no node.
  const Node* source(const std::string& node, const char* input) {
    for (const Wire& wire : wires) {
      if (wire.to != node || wire.input != input) continue;
      const Node* from = find(wire.from);
      damaged = damaged || from == nullptr;
      return from;
    }
    return nullptr;
  }
};

bool readDouble(ChunkCursor& c, double& out) {
  std::uint32_t high, low;
  if (!chunkReadU32(c, high) || !chunkReadU32(c, low)) return false;
  const std::uint64_t bits = (std::uint64_t{high} << 32) | low;
  std::memcpy(&out, &bits, sizeof out);
  return true;
}

void readNode(Graph& g, ChunkCursor& tag) {
  Node node;
  forEachSubChunk(tag, kLwo3, [&](const std::uint8_t* id, ChunkCursor& sub) {
    if (idIs(id, "NRNM")) readText(sub, node.type);
    if (idIs(id, "NNME")) readText(sub, node.name);
    if (idIs(id, "NDTA")) node.data = sub;
  });
  // Connections name nodes by their instance names: a node without one, or with one
  // another node has, cannot be told apart.
  if (node.name.empty() || !g.byName.emplace(node.name, g.nodes.size()).second) {
    g.damaged = true;
    return;
  }
  g.nodes.push_back(std::move(node));
}

// Groups of INME, IINM, IINN and IONM, in that order; an empty IINN lists an input that
// nothing feeds.
void readWires(Graph& g, ChunkCursor& connections) {
  static constexpr const char* kOrder[] = {"INME", "IINM", "IINN", "IONM"};
  Wire wire;
  std::string* fields[] = {&wire.to, &wire.input, &wire.from, &wire.output};
  std::size_t have = 0;
  forEachSubChunk(connections, kLwo3, [&](const std::uint8_t* id, ChunkCursor& sub) {
    const auto* at = std::find_if(std::begin(kOrder), std::end(kOrder), [&](const char* o) { return idIs(id, o); });
    if (at == std::end(kOrder)) return;
    const auto k = static_cast<std::size_t>(at - std::begin(kOrder));
    if (k != have) {
      g.damaged = true;
      have = 0;
      if (k != 0) return;
    }
    fields[k]->clear();
    if (!readText(sub, *fields[k])) g.damaged = true;
    if (++have < std::size(kOrder)) return;
    have = 0;
    if (!wire.from.empty()) g.wires.push_back(wire);
  });
  if (have != 0) g.damaged = true;
}

// The nested FORM VALU of a vparam or vparam3: a count, then that many doubles. Anything
// after them (an envelope) is left: the doubles are the base value.
void readParameter(Graph& g, ChunkCursor& value, Attribute& a) {
  forEachSubChunk(value, kLwo3, [&](const std::uint8_t* id, ChunkCursor& sub) {
    if (!idIs(id, "    ")) {
      ++g.enveloped;
      return;
    }
    std::uint32_t count = 0;
    double v[kMaxComponents];
    bool whole = chunkReadU32(sub, count) && (count == 1 || count == kMaxComponents);
    for (std::uint32_t i = 0; whole && i < count; ++i) whole = readDouble(sub, v[i]);
    if (!whole) {
      g.damaged = true;
      return;
    }
    std::copy_n(v, count, a.value);
    a.count = count;
    if (chunkRemaining(sub) != 0) ++g.enveloped;
  });
}

// FORM VALU: a type string and, for int and double, the value after it; vparam and
// vparam3 keep theirs in a nested FORM VALU, optionally followed by a texture.
void readValue(Graph& g, ChunkCursor& value, Attribute& a) {
  std::string type;
  forEachSubChunk(value, kLwo3, [&](const std::uint8_t* id, ChunkCursor& sub) {
    if (idIs(id, "    ")) {
      if (!readText(sub, type)) g.damaged = true;
      std::uint32_t whole = 0;
      if (type == "int" && chunkReadU32(sub, whole)) {
        a.value[0] = static_cast<std::int32_t>(whole);
        a.count = 1;
      } else if (type == "double" && readDouble(sub, a.value[0])) {
        a.count = 1;
      } else if (type != "vparam" && type != "vparam3" && type != "ClipID") {
        g.damaged = true;
      }
    } else if (idIs(id, "VALU") && (type == "vparam" || type == "vparam3")) {
      readParameter(g, sub, a);
    } else if (idIs(id, "TXTR")) {
      a.texture = sub;
    }
  });
}

// NDTA, then a FORM of the node's kind (SATR, ATTR, ...), META, ADAT, and one ENTR per attribute.
std::map<std::string, Attribute> readAttributes(Graph& g, ChunkCursor data) {
  std::map<std::string, Attribute> attributes;
  forEachSubChunk(data, kLwo3, [&](const std::uint8_t*, ChunkCursor& kind) {
    forEachSubChunk(kind, kLwo3, [&](const std::uint8_t* id, ChunkCursor& meta) {
      if (!idIs(id, "META")) return;
      forEachSubChunk(meta, kLwo3, [&](const std::uint8_t* mid, ChunkCursor& list) {
        if (!idIs(mid, "ADAT")) return;
        forEachSubChunk(list, kLwo3, [&](const std::uint8_t* eid, ChunkCursor& entry) {
          if (!idIs(eid, "ENTR")) return;
          std::string name;
          Attribute a;
          forEachSubChunk(entry, kLwo3, [&](const std::uint8_t* vid, ChunkCursor& sub) {
            if (idIs(vid, "NAME")) readText(sub, name);
            if (idIs(vid, "VALU")) readValue(g, sub, a);
          });
          attributes.emplace(name, a);
        });
      });
    });
  });
  return attributes;
}

// The first of the names the node has a value for, or null.
const Attribute* attribute(const std::map<std::string, Attribute>& attributes, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const auto found = attributes.find(name);
    if (found != attributes.end() && found->second.count != 0) return &found->second;
  }
  return nullptr;
}

void readColor(const Attribute& a, double (&out)[3]) {
  for (std::uint32_t i = 0; i < 3; ++i) out[i] = a.value[a.count == 1 ? 0 : i];
}

// The values of a material node, named as Standard and Principled BSDF name them (other
// material nodes are taken to use the same names). Principled BSDF has no diffuse value:
// the default, 100 %, stands.
void readMaterial(const std::map<std::string, Attribute>& attributes, LwSurface& s) {
  if (const Attribute* a = attribute(attributes, {"Color", "Base Color"})) {
    double rgb[3];
    readColor(*a, rgb);
    setColor(s, rgb);
  }
  if (const Attribute* a = attribute(attributes, {"Diffuse"})) setShade(s.diffuse, a->value[0]);
  if (const Attribute* a = attribute(attributes, {"Specular"})) setShade(s.specular, a->value[0]);
  if (const Attribute* a = attribute(attributes, {"Glossiness"})) {
    setGlossiness(s, a->value[0]);
  } else if (const Attribute* r = attribute(attributes, {"Roughness"})) {
    // LightWave's manual: 100 % glossiness is about 0 % roughness.
    setGlossiness(s, 1.0 - r->value[0]);
  }
  if (const Attribute* a = attribute(attributes, {"Transparency"})) setShade(s.transparency, a->value[0]);
  if (const Attribute* a = attribute(attributes, {"Luminosity", "Luminous"})) setShade(s.luminosity, a->value[0]);
  if (const Attribute* a = attribute(attributes, {"Luminous Color"})) {
    double rgb[3];
    readColor(*a, rgb);
    s.ownLuminousColor = true;
    for (int i = 0; i < 3; ++i) s.luminousColor[i] = std::isfinite(rgb[i]) ? std::clamp(rgb[i], 0.0, 1.0) : 1.0;
  }
  if (const Attribute* a = attribute(attributes, {"Color Highlight"}))
    if (std::isfinite(a->value[0])) s.colorHighlight = std::clamp(a->value[0], 0.0, 1.0);
}

// An Image node: FORM IIMG holds the image's FORM CLIP (FORM STIL with the path inline),
// IUVI the UV map's name, IMAP the projection (PROJ's codes) and IAXS the axis.
void readImageNode(const Node& node, SurfaceDraft& texture) {
  std::string path;
  std::uint32_t projection = kProjUV;
  std::uint32_t axis = 0;
  const auto handle = [&](auto& self, const std::uint8_t* id, ChunkCursor& sub, int depth) -> void {
    if ((idIs(id, "IIMG") || idIs(id, "CLIP")) && depth < 2) {
      forEachSubChunk(sub, kLwo3, [&](const std::uint8_t* inner, ChunkCursor& s) { self(self, inner, s, depth + 1); });
    } else if (idIs(id, "STIL")) {
      readLead(sub, kLwo3, [&](ChunkCursor& lead) { chunkReadString(lead, kLwImageSize, path); });
    } else if (idIs(id, "IUVI")) {
      readText(sub, texture.uvMap);
    } else if (idIs(id, "IMAP")) {
      chunkReadU32(sub, projection);
    } else if (idIs(id, "IAXS")) {
      chunkReadU32(sub, axis);
    }
  };
  ChunkCursor data = node.data;
  forEachSubChunk(data, kLwo3, [&](const std::uint8_t* id, ChunkCursor& sub) { handle(handle, id, sub, 0); });
  if (path.empty()) return;
  LwTexture& t = texture.surface.colorTexture;
  t.image = path;
  t.mapping = projection < kProjFront ? static_cast<std::int32_t>(projection) + 1 : kMappingNone;
  if (axis <= 2) t.flags = static_cast<std::uint16_t>(kTextureAxisX << axis);
  texture.uvMapped = projection == kProjUV;
  texture.textured = true;
}

}  // namespace

bool readNodeGraph(SurfaceDraft& draft, ChunkCursor& graph, GraphReport& report) {
  Graph g;
  forEachSubChunk(graph, kLwo3, [&](const std::uint8_t* id, ChunkCursor& sub) {
    if (idIs(id, "NNDS")) {
      forEachSubChunk(sub, kLwo3, [&](const std::uint8_t* nid, ChunkCursor& tag) {
        if (idIs(nid, "NTAG")) readNode(g, tag);
      });
    } else if (idIs(id, "NCON")) {
      readWires(g, sub);
    }
  });
  const auto surfaceNode = std::find_if(g.nodes.begin(), g.nodes.end(), [](const Node& n) { return n.type == kSurfaceType; });
  const std::string surfaceName = surfaceNode != g.nodes.end() ? surfaceNode->name : kSurfaceType;
  const Node* material = g.source(surfaceName, kMaterialInput);
  // A material fed by the Surface node itself is a cycle.
  if (material != nullptr && (material->name == surfaceName || material->type == kSurfaceType)) {
    g.damaged = true;
    material = nullptr;
  }
  if (material != nullptr) {
    std::map<std::string, Attribute> attributes = readAttributes(g, material->data);
    readMaterial(attributes, draft.surface);
    if (std::none_of(std::begin(kFullyRead), std::end(kFullyRead), [&](const char* t) { return material->type == t; }))
      report.partial.insert(material->type);
    // The colour image: an Image node wired to Color replaces the attribute with its layers.
    SurfaceDraft texture;
    const Node* image = g.source(material->name, kColorInput);
    if (image != nullptr && (image == material || image->type == kSurfaceType)) {
      g.damaged = true;
    } else if (image != nullptr && image->type == "Image") {
      readImageNode(*image, texture);
    } else if (const Attribute* colour = attribute(attributes, {kColorInput}); colour != nullptr && image == nullptr) {
      ChunkCursor layers = colour->texture;
      forEachSubChunk(layers, kLwo3, [&](const std::uint8_t* id, ChunkCursor& block) {
        if (idIs(id, "BLOK")) readBlock(texture, block, kLwo3, true);
      });
    }
    if (texture.textured) {
      draft.surface.colorTexture = texture.surface.colorTexture;
      draft.textured = true;
      draft.clip = texture.clip;
      draft.uvMapped = texture.uvMapped;
      draft.uvMap = texture.uvMap;
    }
  }
  report.damaged += g.damaged ? 1 : 0;
  report.enveloped += g.enveloped;
  return material != nullptr || g.damaged;
}

void sayGraphReport(const GraphReport& graphs, const MessageSink& sink) {
  if (graphs.unconnected != 0) report(sink, Message::kGraphsOnly, graphs.unconnected);
  if (graphs.damaged != 0) report(sink, Message::kGraphsDamaged, graphs.damaged);
  if (graphs.enveloped != 0) report(sink, Message::kEnvelopedNodeValues, graphs.enveloped);
  if (graphs.partial.empty()) return;
  std::string types;
  for (const std::string& type : graphs.partial) types += (types.empty() ? "" : ", ") + type;
  report(sink, Message::kNodesInPart, types);
}

}  // namespace lwo2

}  // namespace torvo
