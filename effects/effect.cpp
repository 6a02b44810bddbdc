#include "effects/effect.h"

// Out of line so the vtable has one home.
Effect::~Effect() {}
