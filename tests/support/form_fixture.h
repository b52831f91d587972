// A browser window built the way the program builds it, with its home page on
// a server of the test's own.
#pragma once

#include <webkit2/webkit2.h>

#include <memory>

#include "tests/support/gui_test.h"
#include "tests/support/http_server.h"
#include "window/form_html.h"

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.AddHtml("/home.html", "<html><body><h1>home</h1></body></html>");
    TCppWebBrowser::SetDefaultHomePage(server_.Url("/home.html"));
    Application->CreateForm(FormHTML);
    form_ = FormHTML;
    form_->show();
    ASSERT_TRUE(RunUntil([&] {
      return form_->get_realized() && form_->EditURL->get_text() == server_.Url("/home.html");
    }));
  }
  void TearDown() override {
    Application->DestroyForms();
    FormHTML = nullptr;
    TCppWebBrowser::SetDefaultHomePage("about:blank");
  }

  // Waits until the window's page has finished loading `url`.
  bool WaitForPage(TFormHTML* form, const std::string& url) {
    return WaitForLoad(form->CppWebBrowser1->View(), url);
  }

  TestHttpServer server_;
  TFormHTML* form_ = nullptr;
};
