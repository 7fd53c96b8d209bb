// Placeholder until this part lands.
#include "anim/animation.h"

int writeAnimationSet(const LwScene&, XWriter&, int) { return 0; }
