// Placeholder until this part lands.
#include "lws/motion.h"

int lwReadMotion(std::FILE*, std::vector<MotionKey>&) { return -1; }
int lwEvaluateMotion(const Motion&, MotionKey&, int) { return 0; }
int lwEvaluateAligned(const Motion&, MotionKey&, int, int, const Motion*) { return 0; }
