// How pages reach the screen: composited on the GPU where the machine has one
// and the user does not say otherwise, else in software, which saves each
// page tens of megabytes and the GL driver's start-up.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The setting hardware-acceleration=auto|always|never.
enum class HardwareAcceleration { kAuto, kAlways, kNever };

// The value as written in the settings file; nothing for any other text.
std::optional<HardwareAcceleration> HardwareAccelerationFromText(std::string_view text);
// And back.
std::string HardwareAccelerationText(HardwareAcceleration value);

enum class RenderingPath {
  kSoftware,       // no toolkit GL, the engine composites in software
  kEngineDefault,  // the toolkit sets up GL, the engine keeps its own policy
  kGpu,            // as kEngineDefault, and the engine always composites with GL
};

// True when `folder` holds a GPU render node (renderD*): the kernel has a
// driver for a GPU that can draw.
bool HasRenderNode(const std::string& folder = "/dev/dri");

RenderingPath ChooseRenderingPath(HardwareAcceleration setting, bool render_node);

// Starts the toolkit for `path` and makes the views from now on follow it;
// false when there is no display to open.
bool StartRendering(RenderingPath path);
