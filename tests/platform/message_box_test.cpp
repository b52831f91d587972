// The modal message box behind MessageBoxA and the application's error box.
#include "platform/message_box.h"

#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <string>

#include "platform/gtk_keyboard.h"
#include "tests/support/dialog_closer.h"
#include "tests/support/main_loop.h"
#include "tests/support/x_input.h"

namespace platformtest {
namespace {

constexpr UINT kIconInformation = 0x40;

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_.set_title("main");
    other_.set_title("other");
    other_.move(400, 0);
    main_.show_all();
    other_.show_all();
    ASSERT_TRUE(testsupport::FocusWindow(main_.gobj()));
  }
  void TearDown() override {
    main_.hide();
    other_.hide();
    testsupport::RunPending(20);
  }

  Gtk::Window main_;
  Gtk::Window other_;
  GtkKeyboardServices services_;
};

TEST_F(MessageBoxTest, CaptionIsTheTitleAndOkReturnsIdok) {
  testsupport::DialogCloser closer;
  EXPECT_EQ(services_.MessageBoxA(nullptr, "Invalid KeyName", "SendKeys", MB_OK), IDOK);
  ASSERT_EQ(closer.seen().size(), 1u);
  EXPECT_EQ(closer.seen()[0].title, "SendKeys");
  EXPECT_EQ(closer.seen()[0].text, "Invalid KeyName");
  EXPECT_EQ(closer.seen()[0].secondary, "");
}

TEST_F(MessageBoxTest, TextAndCaptionKeepEveryCharacter) {
  testsupport::DialogCloser closer;
  const std::string text = "'x1' は整数ではありません";
  ShowMessageBox(text, "タヴォリン", MessageIcon::Stop);
  ASSERT_EQ(closer.seen().size(), 1u);
  EXPECT_EQ(closer.seen()[0].title, "タヴォリン");
  EXPECT_EQ(closer.seen()[0].text, text);
}

struct IconCase {
  const char* name;
  UINT type;
  GtkMessageType shown;
};

class MessageBoxIconTest : public MessageBoxTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(MessageBoxIconTest, IconFollowsTheType) {
  testsupport::DialogCloser closer;
  services_.MessageBoxA(nullptr, "text", "caption", GetParam().type);
  ASSERT_EQ(closer.seen().size(), 1u);
  EXPECT_EQ(closer.seen()[0].type, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Types, MessageBoxIconTest,
                         ::testing::Values(IconCase{"Plain", MB_OK, GTK_MESSAGE_OTHER},
                                           IconCase{"Stop", MB_ICONSTOP, GTK_MESSAGE_ERROR},
                                           IconCase{"Information", kIconInformation,
                                                    GTK_MESSAGE_INFO}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageBoxTest, EveryOtherWindowIsInsensitiveWhileItIsUp) {
  testsupport::DialogCloser closer;
  services_.MessageBoxA(nullptr, "text", "caption", MB_OK);
  ASSERT_EQ(closer.seen().size(), 1u);
  EXPECT_EQ(closer.seen()[0].sensitive_others, 0);
  EXPECT_TRUE(main_.get_sensitive());
  EXPECT_TRUE(other_.get_sensitive());
}

TEST_F(MessageBoxTest, AWindowThatWasInsensitiveStaysSo) {
  other_.set_sensitive(false);
  testsupport::DialogCloser closer;
  services_.MessageBoxA(nullptr, "text", "caption", MB_OK);
  EXPECT_TRUE(main_.get_sensitive());
  EXPECT_FALSE(other_.get_sensitive());
}

TEST_F(MessageBoxTest, TheActiveWindowGetsTheFocusBack) {
  // With the pointer outside every window, only an explicit focus change can
  // give the main window the focus again.
  testsupport::MovePointerAway();
  testsupport::DialogCloser closer;
  bool box_had_focus = false;
  bool main_lost_focus = false;
  closer.OnShown([&](GtkWindow* box) {
    box_had_focus = testsupport::RunUntil([box] { return gtk_window_has_toplevel_focus(box); });
    main_lost_focus = !main_.has_toplevel_focus();
  });
  services_.MessageBoxA(nullptr, "text", "caption", MB_OK);
  ASSERT_EQ(closer.seen().size(), 1u);
  EXPECT_TRUE(box_had_focus);
  EXPECT_TRUE(main_lost_focus);
  EXPECT_TRUE(testsupport::RunUntil([this] { return main_.has_toplevel_focus(); }));
}

TEST_F(MessageBoxTest, AWindowDestroyedWhileItIsUpIsForgotten) {
  auto* doomed = new Gtk::Window;
  doomed->show();
  testsupport::DialogCloser closer;
  closer.OnShown([&](GtkWindow*) { delete doomed; });
  services_.MessageBoxA(nullptr, "text", "caption", MB_OK);
  EXPECT_EQ(closer.seen().size(), 1u);
  EXPECT_TRUE(main_.get_sensitive());
}

}  // namespace
}  // namespace platformtest
