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

Reference decodeWithPillow(const Bytes& file, const char* suffix) {
  Reference ref;
  const std::string python = "/usr/bin/python3";
  if (!isExecutable(python)) {
    ref.skipReason = "no /usr/bin/python3";
    return ref;
  }
  testsupport::TempDir dir;
  const std::string in = dir / (std::string("image.") + suffix);
  lwbuild::writeFile(in, file);
  const char* script =
      "import sys\n"
      "try:\n"
      "    from PIL import Image\n"
      "except ImportError:\n"
      "    print('unavailable'); sys.exit(0)\n"
      "im = Image.open(sys.argv[1]).convert('RGB')\n"
      "w, h = im.size\n"
      "with open(sys.argv[2], 'wb') as f:\n"
      "    f.write(b'P6\\n# converted by pillow\\n%d %d\\n255\\n' % (w, h) + im.tobytes())\n";
  const auto r = testsupport::run(python, {"-c", script, in, dir / "out.ppm"}, dir.path());
  if (r.out.find("unavailable") != std::string::npos) {
    ref.skipReason = "Pillow is not installed";
    return ref;
  }
  ref.picture = parsePpm(testsupport::readFile(dir / "out.ppm"));
  if (!ref.picture.valid) ref.skipReason = "Pillow could not decode: " + r.out;
  return ref;
}

Reference decodeWithNetpbm(const Bytes& file, const char* program) {
  Reference ref;
  const std::string path = findProgram(program);
  if (path.empty()) {
    ref.skipReason = std::string(program) + " is not installed";
    return ref;
  }
  testsupport::TempDir dir;
  lwbuild::writeFile(dir / "image", file);
  const auto r = testsupport::run("/bin/sh", {"-c", path + " image > out.ppm 2>/dev/null"}, dir.path());
  // netpbm writes no comment; give it one so that the same parser reads it.
  std::string ppm = testsupport::readFile(dir / "out.ppm");
  if (ppm.compare(0, 3, "P6\n") == 0) ppm.insert(3, "# netpbm\n");
  ref.picture = parsePpm(ppm);
  if (!ref.picture.valid) ref.skipReason = std::string(program) + " could not decode: " + r.out;
  return ref;
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
