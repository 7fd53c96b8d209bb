#include "core/lookup.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "core/paths.h"
#include "platform/platform.h"

namespace torvo {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool lead(int codePage, char c) { return platform::isLeadByte(codePage, static_cast<unsigned char>(c)); }

// The path split at its separators ('\' and '/' alike); a double-byte character's
// trail byte never splits it.
std::vector<std::string> components(std::string_view path, int codePage) {
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (lead(codePage, path[i]) && i + 1 < path.size()) {
      part.push_back(path[i]);
      part.push_back(path[++i]);
    } else if (isSeparator(path[i])) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(path[i]);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string joined(const std::vector<std::string>& parts, std::size_t first) {
  std::string path;
  for (std::size_t i = first; i < parts.size(); ++i) {
    if (!path.empty()) path.push_back(platform::nativeSeparator());
    path += parts[i];
  }
  return path;
}

// Length of a drive ("C:"), root ("/", "\") or UNC ("\\server\share") prefix, or 0.
std::size_t prefixLength(std::string_view path, int codePage) {
  if (path.size() >= 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    return 2;
  }
  if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    // \\server\share: both names belong to the prefix.
    std::size_t i = 2;
    for (int names = 0; names < 2 && i < path.size(); ++names) {
      while (i < path.size() && !isSeparator(path[i])) i += lead(codePage, path[i]) && i + 1 < path.size() ? 2 : 1;
      if (i < path.size()) ++i;
    }
    return i;
  }
  return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

std::string directoryOf(const std::string& path, int codePage) { return path.substr(0, fileNamePart(path, codePage)); }

// The directory that holds the naming file's nearest Scenes or Objects folder: where
// LightWave's content directory usually is.
std::string guessedContent(const std::string& namingDirectory, int codePage) {
  const std::vector<std::string> parts = components(namingDirectory, codePage);
  for (std::size_t i = parts.size(); i-- > 0;) {
    if (equalsIgnoringCase(parts[i], "Scenes") || equalsIgnoringCase(parts[i], "Objects")) {
      // The leading separator or drive is kept; the folders up to the one found follow.
      const std::string root = namingDirectory.substr(0, prefixLength(namingDirectory, codePage));
      const std::vector<std::string> kept(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(i));
      return root + joined(kept, 0);
    }
  }
  return std::string();
}

}  // namespace

std::FILE* openByFallback(const ConversionContext& context, const std::string& written,
                          const std::string& namingFile, LookupKind kind, std::string& found) {
  const int codePage = context.codePage;
  const std::vector<std::string> parts = components(written, codePage);
  if (parts.empty()) return nullptr;
  const bool prefixed = prefixLength(written, codePage) > 0;

  // Each rule gives a list of names to try under a root; a rule is one step.
  std::vector<std::vector<std::string>> rules;
  if (!prefixed) rules.push_back({joined(parts, 0)});
  if (prefixed) {
    std::vector<std::string> tails;
    const std::size_t first = parts.size() > static_cast<std::size_t>(kMaxLookupTails)
                                  ? parts.size() - static_cast<std::size_t>(kMaxLookupTails)
                                  : 0;
    for (std::size_t i = first; i < parts.size(); ++i) tails.push_back(joined(parts, i));
    rules.push_back(tails);
  }
  const char* folder = kind == LookupKind::kObject ? "Objects" : "Images";
  rules.push_back({std::string(folder) + platform::nativeSeparator() + parts.back()});

  const std::string namingDirectory = directoryOf(resolvePath(context, namingFile), codePage);
  std::vector<std::string> roots;
  auto addRoot = [&](const std::string& root) {
    if (root.empty()) return;
    const std::string absolute = resolvePath(context, root);
    for (const std::string& r : roots) {
      if (r == absolute) return;
    }
    roots.push_back(absolute);
  };
  addRoot(context.startDirectory);
  addRoot(namingDirectory);
  if (!context.config.contentDirectory.empty()) {
    addRoot(context.config.contentDirectory);
  } else {
    addRoot(guessedContent(namingDirectory, codePage));
  }

  for (const std::string& root : roots) {
    for (const std::vector<std::string>& names : rules) {
      // Every file the step's names match, as on disk: two names of one file count once,
      // two files differing only in letter case count twice.
      std::vector<std::string> matches;
      for (const std::string& name : names) {
        // Joined by hand: a name may start with "..", which joinPath would take as complete.
        std::string candidate = root;
        if (!isSeparator(candidate.back())) candidate.push_back(platform::nativeSeparator());
        candidate += name;
        if (candidate.size() >= kPathSize) continue;
        for (std::string& onDisk : platform::findFiles(candidate)) {
          if (std::find(matches.begin(), matches.end(), onDisk) == matches.end()) matches.push_back(std::move(onDisk));
        }
      }
      if (matches.empty()) continue;
      if (matches.size() > 1) {
        report(context.sink, Message::kAmbiguousMatch, written, matches[0], matches[1]);
      }
      std::FILE* file = platform::openFile(matches[0], "rb");
      if (file == nullptr) continue;
      report(context.sink, Message::kFoundAs, written, matches[0]);
      found = matches[0];
      return file;
    }
  }
  return nullptr;
}

std::string relativePath(const std::string& directory, const std::string& file, int codePage) {
  const std::size_t prefix = prefixLength(file, codePage);
  if (prefix == 0 || prefixLength(directory, codePage) != prefix ||
      !equalsIgnoringCase(std::string_view(file).substr(0, prefix), std::string_view(directory).substr(0, prefix))) {
    return file;
  }
  const std::vector<std::string> from = components(directory.substr(prefix), codePage);
  const std::vector<std::string> to = components(file.substr(prefix), codePage);
  std::size_t common = 0;
  while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) ++common;
  std::string path;
  for (std::size_t i = common; i < from.size(); ++i) path += std::string("..") + platform::nativeSeparator();
  return path + joined(to, common);
}

}  // namespace torvo
