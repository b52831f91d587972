// The engine context every page runs in: the program's own profile (see
// browser/profile.h), the sandbox and the memory limit of pages.
#pragma once

#include <functional>

typedef struct _WebKitWebContext WebKitWebContext;

// The context of every view that is not made for a page's request; made on
// first use.
WebKitWebContext* PageContext();

// A context that keeps nothing on disk (cookies, site data, cache and HTTP
// authentication live in its memory), made as the page context is: sandbox,
// memory limit and hooks. The caller owns the reference.
WebKitWebContext* NewEphemeralContext();

// The engine ends a page whose process uses more than `megabytes`. Only a
// context made after the call obeys it: call it before the first view.
void LimitPageMemory(unsigned megabytes);

// Called for the page context and every ephemeral one as it is made, before its first view, and at
// once when it is made already: how features built on the adapter attach.
void AddContextHook(std::function<void(WebKitWebContext*)> hook);
