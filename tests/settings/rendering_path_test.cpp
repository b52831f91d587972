// The rendering path: chosen from the setting and the machine's render node,
// and followed by the views made afterwards.
#include "settings/rendering_path.h"

#include <webkit2/webkit2.h>

#include <filesystem>
#include <fstream>

#include "browser/cpp_web_browser.h"
#include "tests/support/gui_test.h"
#include "tests/support/private_folders.h"

namespace {

TEST(RenderingPath, TheSettingDecidesAndAutoFollowsTheRenderNode) {
  using HA = HardwareAcceleration;
  using RP = RenderingPath;
  const std::tuple<HA, bool, RP> cases[] = {
      {HA::kAuto, true, RP::kEngineDefault}, {HA::kAuto, false, RP::kSoftware},
      {HA::kAlways, true, RP::kGpu},         {HA::kAlways, false, RP::kGpu},
      {HA::kNever, true, RP::kSoftware},     {HA::kNever, false, RP::kSoftware},
  };
  for (const auto& [setting, render_node, path] : cases)
    EXPECT_EQ(ChooseRenderingPath(setting, render_node), path) << int(setting) << render_node;
}

TEST(RenderingPath, OnlyTheThreeWordsAreValues) {
  EXPECT_EQ(HardwareAccelerationFromText("auto"), HardwareAcceleration::kAuto);
  EXPECT_EQ(HardwareAccelerationFromText("always"), HardwareAcceleration::kAlways);
  EXPECT_EQ(HardwareAccelerationFromText("never"), HardwareAcceleration::kNever);
  for (const char* text : {"", "Always", "on", "true", "never ", "1"})
    EXPECT_FALSE(HardwareAccelerationFromText(text)) << text;
}

TEST(RenderingPath, ARenderNodeIsARenderDEntryInTheFolder) {
  const std::string root = testsupport::MakePrivateRoot();
  const std::string dri = root + "/dri";
  EXPECT_FALSE(HasRenderNode(dri)) << "no folder";
  std::filesystem::create_directory(dri);
  EXPECT_FALSE(HasRenderNode(dri)) << "empty";
  std::ofstream(dri + "/card0");  // a display controller alone draws nothing
  std::ofstream(dri + "/by-path");
  EXPECT_FALSE(HasRenderNode(dri)) << "only a card";
  std::ofstream(dri + "/renderD128");
  EXPECT_TRUE(HasRenderNode(dri));
  testsupport::RemoveTree(root);
}

TEST(RenderingPath, ViewsMadeAfterwardsTakeThePolicyOfThePath) {
  // The engine's own choice, as a view made with no word from us has it.
  WebKitWebView* plain = WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new()));
  const auto engine =
      webkit_settings_get_hardware_acceleration_policy(webkit_web_view_get_settings(plain));
  g_object_unref(plain);
  using C = TCppWebBrowser::Compositing;
  const std::pair<C, WebKitHardwareAccelerationPolicy> cases[] = {
      {C::kSoftware, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER},
      {C::kGpu, WEBKIT_HARDWARE_ACCELERATION_POLICY_ALWAYS},
      {C::kEngineDefault, engine}};
  for (const auto& [compositing, policy] : cases) {
    TCppWebBrowser::SetCompositing(compositing);
    TCppWebBrowser browser;
    WebKitSettings* settings = webkit_web_view_get_settings(browser.View());
    EXPECT_EQ(webkit_settings_get_hardware_acceleration_policy(settings), policy)
        << int(compositing);
    TCppWebBrowser::SetCompositing(C::kSoftware);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();  // no display needed
  // As the test environment would, but before the toolkit reads any folder.
  g_setenv("NO_AT_BRIDGE", "1", TRUE);
  const std::string root = testsupport::PrivateFolders();
  if (!StartRendering(RenderingPath::kGpu)) return 1;
  TCppWebBrowser::SetCompositing(TCppWebBrowser::Compositing::kSoftware);
  ::testing::AddGlobalTestEnvironment(new GuiEnvironment());
  const int status = RUN_ALL_TESTS();
  testsupport::RemoveTree(root);
  return status;
}
