#include "settings/rendering_path.h"

#include <glib.h>

#include <array>
#include <utility>

#include "browser/cpp_web_browser.h"
#include "platform/application.h"

namespace {

constexpr std::array<std::pair<std::string_view, HardwareAcceleration>, 3> kValues{{
    {"auto", HardwareAcceleration::kAuto},
    {"always", HardwareAcceleration::kAlways},
    {"never", HardwareAcceleration::kNever},
}};

TCppWebBrowser::Compositing CompositingFor(RenderingPath path) {
  switch (path) {
    case RenderingPath::kEngineDefault:
      return TCppWebBrowser::Compositing::kEngineDefault;
    case RenderingPath::kGpu:
      return TCppWebBrowser::Compositing::kGpu;
    case RenderingPath::kSoftware:
      break;
  }
  return TCppWebBrowser::Compositing::kSoftware;
}

}  // namespace

std::optional<HardwareAcceleration> HardwareAccelerationFromText(std::string_view text) {
  for (const auto& [name, value] : kValues) {
    if (name == text) return value;
  }
  return std::nullopt;
}

std::string HardwareAccelerationText(HardwareAcceleration value) {
  for (const auto& [name, v] : kValues) {
    if (v == value) return std::string(name);
  }
  return std::string(kValues[0].first);
}

bool HasRenderNode(const std::string& folder) {
  GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
  if (dir == nullptr) return false;
  bool found = false;
  while (const char* name = g_dir_read_name(dir)) {
    if (g_str_has_prefix(name, "renderD")) found = true;
  }
  g_dir_close(dir);
  return found;
}

RenderingPath ChooseRenderingPath(HardwareAcceleration setting, bool render_node) {
  switch (setting) {
    case HardwareAcceleration::kAlways:
      return RenderingPath::kGpu;
    case HardwareAcceleration::kNever:
      return RenderingPath::kSoftware;
    case HardwareAcceleration::kAuto:
      break;
  }
  return render_node ? RenderingPath::kEngineDefault : RenderingPath::kSoftware;
}

bool StartRendering(RenderingPath path) {
  if (!TApplication::StartToolkit(path != RenderingPath::kSoftware)) return false;
  TCppWebBrowser::SetCompositing(CompositingFor(path));
  return true;
}
