// Keys played through the GTK-backed services reach the page inside a
// WebKitWebView as trusted key events with the right key and code.
#include <gtest/gtest.h>
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <optional>
#include <string>

#include "tests/platform/platform_fixture.h"

namespace platformtest {
namespace {

constexpr const char* kPage = R"(<!DOCTYPE html>
<html><body><input id="box" value="abc" autofocus>
<script>
  window.keylog = [];
  document.addEventListener('keydown', e =>
      keylog.push(e.key + '/' + e.code + '/' + (e.isTrusted ? 'trusted' : 'untrusted')), true);
</script></body></html>)";

class PageKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new());
    g_signal_connect(view_, "load-changed",
                     G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent e, gpointer self) {
                       if (e == WEBKIT_LOAD_FINISHED)
                         static_cast<PageKeysTest*>(self)->loaded_ = true;
                     }),
                     this);
    window_.set_default_size(400, 200);
    gtk_container_add(GTK_CONTAINER(window_.gobj()), GTK_WIDGET(view_));
    webkit_web_view_load_html(view_, kPage, "http://127.0.0.1/");
    ASSERT_TRUE(testsupport::FocusWindow(window_.gobj()));
    ASSERT_TRUE(testsupport::RunUntil([this] { return loaded_; }, 20000));
    gtk_widget_grab_focus(GTK_WIDGET(view_));
    ASSERT_EQ(Evaluate("document.getElementById('box').focus();"
                       "String(document.activeElement.id) + '/' + document.hasFocus()"),
              "box/true");
  }
  void TearDown() override { window_.hide(); }

  // The value of a script run in the page, as a string; nullopt on failure.
  std::optional<std::string> Evaluate(const std::string& script) {
    struct Pending {
      bool done = false;
      std::optional<std::string> value;
    } pending;
    webkit_web_view_evaluate_javascript(
        view_, script.c_str(), -1, nullptr, nullptr, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
          auto* p = static_cast<Pending*>(data);
          GError* error = nullptr;
          JSCValue* value =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
          if (value != nullptr) {
            gchar* text = jsc_value_to_string(value);
            p->value = text;
            g_free(text);
            g_object_unref(value);
          } else {
            g_error_free(error);
          }
          p->done = true;
        },
        &pending);
    if (!testsupport::RunUntil([&] { return pending.done; }, 10000)) return std::nullopt;
    return pending.value;
  }

  // Plays `vk` and then a marker key; once the marker has reached the page,
  // every event of `vk` has too.
  std::string KeydownsOf(BYTE vk, bool extended) { return KeydownsOf(services_, vk, extended); }
  std::string KeydownsOf(GtkKeyboardServices& services, BYTE vk, bool extended) {
    PlayTap(services, vk, extended);
    PlayTap(services_, VK_F1 + 1);
    testsupport::RunUntil(
        [this] { return Evaluate("keylog.includes('F2/F2/trusted')").value_or("") == "true"; });
    return Evaluate("keylog.filter(k => !k.startsWith('F2/')).join(' ')").value_or("<none>");
  }

  Gtk::Window window_;
  WebKitWebView* view_ = nullptr;
  bool loaded_ = false;
  GtkKeyboardServices services_;
};

TEST_F(PageKeysTest, PlayedLeftIsOneTrustedArrowLeft) {
  ASSERT_EQ(Evaluate("document.getElementById('box').setSelectionRange(3, 3); 'ok'"), "ok");
  EXPECT_EQ(KeydownsOf(VK_LEFT, true), "ArrowLeft/ArrowLeft/trusted");
  EXPECT_EQ(Evaluate("document.getElementById('box').selectionStart"), "2");
}

TEST_F(PageKeysTest, PlayedEnterIsOneTrustedEnter) {
  EXPECT_EQ(KeydownsOf(VK_RETURN, false), "Enter/Enter/trusted");
}

TEST_F(PageKeysTest, PlayedLetterTypesOnce) {
  ASSERT_EQ(Evaluate("document.getElementById('box').setSelectionRange(3, 3); 'ok'"), "ok");
  EXPECT_EQ(KeydownsOf('X', false), "x/KeyX/trusted");
  EXPECT_EQ(Evaluate("document.getElementById('box').value"), "abcx");
}

// A virtual keyboard's keymap under Wayland may list no key for them: the page
// still gets the key's standard code, and the cursor still moves.
TEST_F(PageKeysTest, EnterAndLeftMissingFromTheKeymapKeepTheirCodes) {
  GtkKeyboardServices unlisted(
      +[](GdkKeymap*, guint, GdkKeymapKey** keys, gint* count) -> gboolean {
        *keys = nullptr;
        *count = 0;
        return TRUE;
      });
  ASSERT_EQ(Evaluate("document.getElementById('box').setSelectionRange(3, 3); 'ok'"), "ok");
  EXPECT_EQ(KeydownsOf(unlisted, VK_LEFT, true), "ArrowLeft/ArrowLeft/trusted");
  EXPECT_EQ(Evaluate("document.getElementById('box').selectionStart"), "2");
  ASSERT_EQ(Evaluate("keylog = []; 'ok'"), "ok");
  EXPECT_EQ(KeydownsOf(unlisted, VK_RETURN, false), "Enter/Enter/trusted");
}

}  // namespace
}  // namespace platformtest
