// torvo-batch: every .lwo and .lws file under a directory tree, converted in parallel
// into a mirrored tree, through the embedding interface.
#pragma once

namespace torvo {

// Returns the process exit code: 0 when every file converted, 1 otherwise.
int runTorvoBatch(int argc, char** argv);

}  // namespace torvo
