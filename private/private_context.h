// The engine context of private windows: nothing in it reaches the disk. The
// private windows open at the same time share it; it goes with the last.
#pragma once

#include <memory>

typedef struct _WebKitWebContext WebKitWebContext;

// The context of the private windows open now, made when none is; each
// window holds it while it is open.
std::shared_ptr<WebKitWebContext> PrivateContext();
