// xskin: loads .x files as a DirectX 9 program loads a character (D3DXLoadMeshHierarchyFromX
// with a device) and checks each skinned mesh against the frames as loaded.
//   xskin FILE.x ...   (a Windows program: built with MinGW-w64, run under Wine and Xvfb)
// Per file, one line per skinned mesh, then a summary, each line led by the file's name:
//   FILE skin NAME bones B found F influences I most M rest_err E
//   FILE frames N meshes M of D skinned S      or      FILE not loaded: HRESULT
// F counts the bones whose frame is found by name; I the influences, M the most on one
// vertex; E the largest distance between a vertex skinned with every frame at its file
// transform (sum of w * v * offset * combined) and the vertex moved by its mesh's frame:
// 0 when the file's first frame is its rest pose. D counts the Mesh objects in the file. One device serves every file, since
// Wine is slow to start. Exit 0 when every file loaded, 2 otherwise.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

char* copyName(const char* name) {
  if (name == nullptr) return nullptr;
  char* copy = new char[std::strlen(name) + 1];
  std::strcpy(copy, name);
  return copy;
}

// Frames and mesh containers as plain allocations; the skin information is kept.
class Hierarchy : public ID3DXAllocateHierarchy {
 public:
  STDMETHOD(CreateFrame)(LPCSTR name, LPD3DXFRAME* made) override {
    auto* frame = new D3DXFRAME{};
    frame->Name = copyName(name);
    D3DXMatrixIdentity(&frame->TransformationMatrix);
    *made = frame;
    return S_OK;
  }
  STDMETHOD(CreateMeshContainer)(LPCSTR name, CONST D3DXMESHDATA* data, CONST D3DXMATERIAL*, CONST D3DXEFFECTINSTANCE*,
                                 DWORD, CONST DWORD*, LPD3DXSKININFO skin, LPD3DXMESHCONTAINER* made) override {
    auto* container = new D3DXMESHCONTAINER{};
    container->Name = copyName(name);
    container->MeshData = *data;
    if (data->pMesh != nullptr) data->pMesh->AddRef();
    container->pSkinInfo = skin;
    if (skin != nullptr) skin->AddRef();
    *made = container;
    return S_OK;
  }
  STDMETHOD(DestroyFrame)(LPD3DXFRAME frame) override {
    delete[] frame->Name;
    delete frame;
    return S_OK;
  }
  STDMETHOD(DestroyMeshContainer)(LPD3DXMESHCONTAINER container) override {
    if (container->MeshData.pMesh != nullptr) container->MeshData.pMesh->Release();
    if (container->pSkinInfo != nullptr) container->pSkinInfo->Release();
    delete[] container->Name;
    delete container;
    return S_OK;
  }
};

struct Placed {
  const D3DXFRAME* frame;
  D3DXMATRIX combined;
};

void collect(const D3DXFRAME* frame, const D3DXMATRIX& parent, std::vector<Placed>& out) {
  for (; frame != nullptr; frame = frame->pFrameSibling) {
    const D3DXMATRIX combined = frame->TransformationMatrix * parent;
    out.push_back({frame, combined});
    collect(frame->pFrameFirstChild, combined, out);
  }
}

const D3DXMATRIX* combinedOf(const std::vector<Placed>& frames, const char* name) {
  for (const Placed& p : frames)
    if (p.frame->Name != nullptr && name != nullptr && std::strcmp(p.frame->Name, name) == 0) return &p.combined;
  return nullptr;
}

void checkSkin(const char* file, const D3DXMESHCONTAINER& container, const D3DXMATRIX& meshFrame, const std::vector<Placed>& frames) {
  ID3DXSkinInfo* skin = container.pSkinInfo;
  ID3DXMesh* mesh = container.MeshData.pMesh;
  const DWORD bones = skin->GetNumBones(), vertices = mesh->GetNumVertices(), stride = mesh->GetNumBytesPerVertex();
  std::vector<D3DXVECTOR3> skinned(vertices, D3DXVECTOR3(0, 0, 0)), original(vertices);
  std::vector<DWORD> count(vertices, 0);
  BYTE* data = nullptr;
  if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&data)))) return;
  for (DWORD v = 0; v < vertices; ++v) std::memcpy(&original[v], data + v * stride, sizeof(D3DXVECTOR3));
  mesh->UnlockVertexBuffer();
  DWORD found = 0, influences = 0;
  for (DWORD b = 0; b < bones; ++b) {
    const D3DXMATRIX* combined = combinedOf(frames, skin->GetBoneName(b));
    if (combined == nullptr) continue;
    ++found;
    const D3DXMATRIX m = *skin->GetBoneOffsetMatrix(b) * *combined;
    const DWORD n = skin->GetNumBoneInfluences(b);
    std::vector<DWORD> which(n);
    std::vector<float> weights(n);
    skin->GetBoneInfluence(b, which.data(), weights.data());
    influences += n;
    for (DWORD i = 0; i < n; ++i) {
      if (which[i] >= vertices) continue;
      D3DXVECTOR3 moved;
      D3DXVec3TransformCoord(&moved, &original[which[i]], &m);
      skinned[which[i]] += weights[i] * moved;
      ++count[which[i]];
    }
  }
  double worst = 0;
  DWORD most = 0;
  for (DWORD v = 0; v < vertices; ++v) {
    most = count[v] > most ? count[v] : most;
    if (count[v] == 0) continue;
    D3DXVECTOR3 expected;
    D3DXVec3TransformCoord(&expected, &original[v], &meshFrame);
    const D3DXVECTOR3 d = skinned[v] - expected;
    worst = std::fmax(worst, std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z));
  }
  std::printf("%s skin %s bones %lu found %lu influences %lu most %lu rest_err %g\n", file, container.Name != nullptr && *container.Name != 0 ? container.Name : "-",
              static_cast<unsigned long>(bones), static_cast<unsigned long>(found), static_cast<unsigned long>(influences),
              static_cast<unsigned long>(most), worst);
}

// The Mesh objects the file holds (text or uncompressed binary), to tell a whole load from
// one that lost objects: D3DX skips an object it cannot resolve and still succeeds.
int meshObjects(const char* file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int count = 0;
  if (bytes.compare(8, 4, "bin ") == 0) {
    // A name token "Mesh" (01 00, length 4) that no template token (1F 00) comes before.
    const std::string name("\x01\x00\x04\x00\x00\x00Mesh", 10);
    for (std::size_t at = bytes.find(name); at != std::string::npos; at = bytes.find(name, at + 1))
      count += at < 2 || bytes.compare(at - 2, 2, std::string("\x1F\x00", 2)) != 0;
    return count;
  }
  std::string previous, word;
  for (std::size_t at = 16; at <= bytes.size(); ++at) {
    const char c = at < bytes.size() ? bytes[at] : ' ';
    if (c == '/' || c == '#') {
      at = bytes.find('\n', at);
      if (at == std::string::npos) break;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      word += c;
      continue;
    } else if (c == '"') {
      at = bytes.find('"', at + 1);
      if (at == std::string::npos) break;
    }
    if (word.empty()) continue;
    count += word == "Mesh" && previous != "template";
    previous = word;
    word.clear();
  }
  return count;
}

// Loads one file and reports on it; false when it did not load.
bool report(const char* file, IDirect3DDevice9* device) {
  Hierarchy hierarchy;
  D3DXFRAME* root = nullptr;
  ID3DXAnimationController* animation = nullptr;
  const HRESULT loaded = D3DXLoadMeshHierarchyFromXA(file, D3DXMESH_SYSTEMMEM, device, &hierarchy, nullptr, &root, &animation);
  if (FAILED(loaded) || root == nullptr) {
    std::printf("%s not loaded: %08lx\n", file, static_cast<unsigned long>(loaded));
    return false;
  }
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  std::vector<Placed> frames;
  collect(root, identity, frames);
  int meshes = 0, skinned = 0;
  for (const Placed& p : frames) {
    for (const D3DXMESHCONTAINER* c = p.frame->pMeshContainer; c != nullptr; c = c->pNextMeshContainer) {
      ++meshes;
      if (c->pSkinInfo == nullptr || c->MeshData.pMesh == nullptr) continue;
      ++skinned;
      checkSkin(file, *c, p.combined, frames);
    }
  }
  std::printf("%s frames %zu meshes %d of %d skinned %d\n", file, frames.size(), meshes, meshObjects(file), skinned);
  D3DXFrameDestroy(root, &hierarchy);
  if (animation != nullptr) animation->Release();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: xskin FILE.x ...\n");
    return 1;
  }
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  HWND window = CreateWindowA("STATIC", "xskin", WS_OVERLAPPEDWINDOW, 0, 0, 32, 32, nullptr, nullptr, nullptr, nullptr);
  D3DPRESENT_PARAMETERS present{};
  present.Windowed = TRUE;
  present.SwapEffect = D3DSWAPEFFECT_DISCARD;
  present.hDeviceWindow = window;
  IDirect3DDevice9* device = nullptr;
  if (d3d == nullptr || FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &present, &device))) {
    std::printf("no d3d9 device\n");
    return 3;
  }
  bool all = true;
  for (int i = 1; i < argc; ++i) {
    all = report(argv[i], device) && all;
    std::fflush(stdout);
  }
  device->Release();
  d3d->Release();
  return all ? 0 : 2;
}
