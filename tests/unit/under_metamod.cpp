// The unit tests link the plug-in's logic and hand it each test's short-lived engine through
// GiveFnptrsToDll. They run it as Metamod does (Meta_Init first), so that no game library is
// loaded underneath it and no attach work outlives the engine it registered with: standalone
// loading is tested through the built binary (tests/behaviour/standalone_test.cpp).
#include "entry/export_api.h"

namespace {
const bool kUnderMetamod = (Meta_Init(), true);
}  // namespace
