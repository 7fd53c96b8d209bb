// torvo-batch: every .lwo and .lws file under a directory tree, converted in parallel
// into a mirrored tree, through the embedding interface.
#pragma once

#include "core/messages.h"

namespace torvo {

// Returns the process exit code: 0 when every file converted, 1 otherwise. The report,
// and the progress line when asked for (a terminal), go to the console sink.
int runTorvoBatch(int argc, char** argv, const MessageSink& console, bool showProgress);

}  // namespace torvo
