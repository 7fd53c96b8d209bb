// One conversion from the source's bytes to the .x writer: read as a scene or an object,
// prepare the geometry, check the model, make the materials ready, write. The driver, the
// fuzz targets and the tests all convert through here.
#pragma once

#include <string>
#include <string_view>

#include "core/context.h"
#include "lws/scene_reader.h"
#include "xfile/xwriter.h"

namespace torvo {

struct ConversionInput {
  std::string_view bytes;                     // the whole source file
  platform::FileBytes* owner = nullptr;       // when set, holds `bytes`: released once they are read
  std::string sourceName;                     // as given, for the progress line
  LwObjectSource objects;                     // the objects a scene names, and an object's companion
  std::string templatePath;                   // the template file (text output)
  const std::string* templateText = nullptr;  // its text, when at hand: no file is opened
};

// kOk, or why not (message given); the .x text or bytes go to out. kModelFault when a reader
// left a broken reference in the model. context.sourcePath names the source as opened.
Status convertLoaded(const ConversionContext& context, const ConversionInput& input, XWriter& out);

// Objects from files: a scene's objects as written, else in the content directory, else by
// the last-resort lookup; a companion by its name alone. Large files are mapped.
LwObjectSource fileObjectSource();

}  // namespace torvo
