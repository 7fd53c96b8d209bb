#include "image/image_support.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/run.h"

namespace imagetest {

Conversion convertStream(Kind kind, std::FILE* source) {
  Conversion c;
  std::FILE* destination = std::tmpfile();
  if (source == nullptr || destination == nullptr) {
    c.result = 999;
    return c;
  }
  c.result = runConverter(kind, source, destination);
  std::rewind(destination);
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, destination)) > 0) c.output.append(buffer, n);
  std::fclose(destination);
  return c;
}

Conversion convert(Kind kind, const Bytes& input) {
  std::FILE* source = std::tmpfile();
  if (source == nullptr) return Conversion{999, {}};
  if (!input.empty()) std::fwrite(input.data(), 1, input.size(), source);
  std::rewind(source);
  const Conversion c = convertStream(kind, source);
  std::fclose(source);
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

void expectDecoded(Kind kind, const std::vector<Decoded>& cases) {
  for (const Decoded& d : cases) {
    SCOPED_TRACE(d.what);
    const Conversion c = convert(kind, d.file);
    EXPECT_EQ(c.result, 1);
    const Picture p = parsePpm(c.output);
    EXPECT_TRUE(p.valid);
    EXPECT_EQ(p.width, d.width);
    EXPECT_EQ(p.pixels, d.pixels);
  }
}

void expectRefused(Kind kind, const std::vector<std::pair<std::string, Bytes>>& cases) {
  for (const auto& [what, file] : cases) {
    const Conversion c = convert(kind, file);
    EXPECT_EQ(c.result, -1) << what;
    EXPECT_TRUE(c.output.empty()) << what;
  }
}

void expectEveryCutRefused(Kind kind, const Bytes& whole) {
  ASSERT_EQ(convert(kind, whole).result, 1);
  std::vector<std::pair<std::string, Bytes>> cuts;
  for (std::size_t cut = 0; cut < whole.size(); ++cut)
    cuts.push_back({"cut at " + std::to_string(cut), Bytes(whole.begin(), whole.begin() + static_cast<long>(cut))});
  expectRefused(kind, cuts);
}

namespace {

// Runs a shell script in a scratch directory holding the files as image<i><suffix>;
// the script leaves each decoded picture in image<i><suffix>.ppm.
std::vector<Reference> decodeInShell(const std::vector<Bytes>& files, const std::string& suffix, const std::string& who,
                                     const std::function<std::string(const std::string& names)>& script) {
  testsupport::TempDir dir;
  std::string names;
  for (std::size_t i = 0; i < files.size(); ++i) {
    lwbuild::writeFile(dir / ("image" + std::to_string(i) + suffix), files[i]);
    names += " image" + std::to_string(i) + suffix;
  }
  const auto r = testsupport::run("/bin/sh", {"-c", script(names)}, dir.path());
  std::vector<Reference> refs(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    // The decoders write no comment; give them one so that the same parser reads them.
    std::string ppm = testsupport::readFile(dir / ("image" + std::to_string(i) + suffix + ".ppm"));
    if (ppm.compare(0, 3, "P6\n") == 0) ppm.insert(3, "# " + who + "\n");
    refs[i].picture = parsePpm(ppm);
    if (r.out.find("unavailable") != std::string::npos) {
      refs[i].skipReason = who + " is not installed";
    } else if (!refs[i].picture.valid) {
      refs[i].skipReason = who + " could not decode: " + r.out;
    }
  }
  return refs;
}

}  // namespace

// The scripts print "unavailable" when their decoder is not installed.
std::vector<Reference> decodeWithPillow(const std::vector<Bytes>& files, const char* suffix) {
  return decodeInShell(files, std::string(".") + suffix, "Pillow", [](const std::string& names) {
    return "[ -x /usr/bin/python3 ] || { echo unavailable; exit 0; }\n/usr/bin/python3 -" + names +
           " <<'EOF'\n"
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
           "    with open(name + '.ppm', 'wb') as f:\n"
           "        f.write(b'P6\\n%d %d\\n255\\n' % im.size + im.tobytes())\n"
           "EOF\n";
  });
}

std::vector<Reference> decodeWithNetpbm(const std::vector<Bytes>& files, const char* program) {
  return decodeInShell(files, "", program, [program](const std::string& names) {
    return std::string("p=$(command -v ") + program + ") || { echo unavailable; exit 0; }\nfor f in" + names +
           "; do \"$p\" $f > $f.ppm 2>/dev/null; done\n";
  });
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
