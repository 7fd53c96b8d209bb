// Placeholder until this part lands.
#include "lws/scene.h"

const LwKeyword SceneKeywords[] = {{nullptr, -1}};
const LwKeyword ItemKeywords[] = {{nullptr, -1}};
const LwKeyword PluginKeywords[] = {{nullptr, -1}};
int lwFindKeyword(const char*, const LwKeyword*, const char**) { return -1; }
int lwReadScene(LwScene&, std::FILE*, bool, bool, bool, bool, bool) { return -1; }
void lwReleaseScene(LwScene& s) { s.items.clear(); }
LwObject* lwSceneItem(const LwScene&, std::int32_t) { return nullptr; }
