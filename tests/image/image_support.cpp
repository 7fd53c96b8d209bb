#include "image/image_support.h"

#include <cstdlib>
#include <cstring>

#include "image/ppm.h"
#include "support/run.h"

namespace imagetest {

namespace {

std::string readAll(std::FILE* f) {
  std::string out;
  std::rewind(f);
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  return out;
}

bool isExecutable(const std::string& path) { return testsupport::fileExists(path); }

std::string findProgram(const char* name) {
  for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
    const std::string path = std::string(dir) + name;
    if (isExecutable(path)) return path;
  }
  return {};
}

}  // namespace

Conversion convert(Kind kind, const Bytes& input) {
  Conversion c;
  std::FILE* source = std::tmpfile();
  std::FILE* destination = std::tmpfile();
  if (source == nullptr || destination == nullptr) {
    c.result = 999;
    return c;
  }
  if (!input.empty()) std::fwrite(input.data(), 1, input.size(), source);
  std::rewind(source);
  c.result = kind == Kind::Bmp ? convertBmpToPpm("vemo", source, destination)
                               : convertTgaToPpm("vemo", source, destination);
  c.output = readAll(destination);
  std::fclose(source);
  std::fclose(destination);
  return c;
}

Picture parsePpm(const std::string& ppm) {
  Picture p;
  long w = 0, h = 0, maxval = 0;
  int consumed = 0;
  // Our header always carries exactly one comment line.
  const std::size_t commentEnd = ppm.find('\n', ppm.find('#'));
  if (ppm.compare(0, 3, "P6\n") != 0 || commentEnd == std::string::npos) return p;
  if (std::sscanf(ppm.c_str() + commentEnd + 1, "%ld %ld\n%ld%n", &w, &h, &maxval, &consumed) != 3) return p;
  const std::size_t start = commentEnd + 1 + static_cast<std::size_t>(consumed) + 1;
  if (maxval != 255 || w <= 0 || h <= 0 || ppm.size() != start + static_cast<std::size_t>(w * h * 3)) return p;
  p.width = w;
  p.height = h;
  for (std::size_t i = start; i < ppm.size(); i += 3)
    p.pixels.push_back(Rgb{static_cast<std::uint8_t>(ppm[i]), static_cast<std::uint8_t>(ppm[i + 1]),
                           static_cast<std::uint8_t>(ppm[i + 2])});
  p.valid = true;
  return p;
}

std::vector<Reference> decodeWithPillow(const std::vector<Bytes>& files, const char* suffix) {
  std::vector<Reference> refs(files.size());
  const std::string python = "/usr/bin/python3";
  if (!isExecutable(python)) {
    for (auto& r : refs) r.skipReason = "/usr/bin/python3 is not installed";
    return refs;
  }
  testsupport::TempDir dir;
  std::vector<std::string> args = {"-c",
                                   "import sys\n"
                                   "try:\n"
                                   "    from PIL import Image\n"
                                   "except ImportError:\n"
                                   "    print('unavailable'); sys.exit(0)\n"
                                   "for name in sys.argv[1:]:\n"
                                   "    try:\n"
                                   "        im = Image.open(name).convert('RGB')\n"
                                   "    except Exception as e:\n"
                                   "        print(name, e); continue\n"
                                   "    w, h = im.size\n"
                                   "    with open(name + '.ppm', 'wb') as f:\n"
                                   "        f.write(b'P6\\n# pillow\\n%d %d\\n255\\n' % (w, h) + im.tobytes())\n"};
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string name = "image" + std::to_string(i) + "." + suffix;
    lwbuild::writeFile(dir / name, files[i]);
    args.push_back(name);
  }
  const auto r = testsupport::run(python, args, dir.path());
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (r.out.find("unavailable") != std::string::npos) {
      refs[i].skipReason = "Pillow is not installed";
      continue;
    }
    const std::string name = "image" + std::to_string(i) + "." + suffix;
    refs[i].picture = parsePpm(testsupport::readFile(dir / (name + ".ppm")));
    if (!refs[i].picture.valid) refs[i].skipReason = "Pillow could not decode: " + r.out;
  }
  return refs;
}

std::vector<Reference> decodeWithNetpbm(const std::vector<Bytes>& files, const char* program) {
  std::vector<Reference> refs(files.size());
  const std::string path = findProgram(program);
  if (path.empty()) {
    for (auto& r : refs) r.skipReason = std::string(program) + " is not installed";
    return refs;
  }
  testsupport::TempDir dir;
  std::string script;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string name = "image" + std::to_string(i);
    lwbuild::writeFile(dir / name, files[i]);
    script += path + " " + name + " > " + name + ".ppm 2>/dev/null\n";
  }
  const auto r = testsupport::run("/bin/sh", {"-c", script}, dir.path());
  for (std::size_t i = 0; i < files.size(); ++i) {
    // netpbm writes no comment; give it one so that the same parser reads it.
    std::string ppm = testsupport::readFile(dir / ("image" + std::to_string(i) + ".ppm"));
    if (ppm.compare(0, 3, "P6\n") == 0) ppm.insert(3, "# netpbm\n");
    refs[i].picture = parsePpm(ppm);
    if (!refs[i].picture.valid) refs[i].skipReason = std::string(program) + " could not decode " + r.out;
  }
  return refs;
}

Bytes noise(std::size_t n, std::uint32_t seed) {
  Bytes b(n);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<std::uint8_t>(x >> 24);
  }
  return b;
}

}  // namespace imagetest
