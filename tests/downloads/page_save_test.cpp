// The page saved whole (Ctrl+S) and as a picture (Ctrl+Shift+S) in a real
// window: the files are read back, a name in use is never replaced, the
// strip offers them, a page too tall is cut and said so, a failed write is
// reported as failed.
#include <cairo.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

#include <filesystem>
#include <set>

#include "downloads/bar.h"
#include "downloads/folder.h"
#include "downloads/name.h"
#include "downloads/page_picture.h"
#include "tests/support/files.h"
#include "tests/support/navigation_support.h"
#include "tests/support/widget_search.h"

// Last: the X headers define None and more.
#include "tests/support/key_input.h"

namespace {

namespace fs = std::filesystem;

// A page whose top is blue and whose end, far below the window, is red.
std::string ColouredPage(int height) {
  return "<title>商品/ページ: 価格</title><body style='margin:0'>"
         "<div style='height:" +
         std::to_string(height - 200) +
         "px;background:#0000ff'>price 1980 yen</div>"
         "<div style='height:200px;background:#ff0000'></div></body>";
}

class PageSaveTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    folder_ = fs::path(testing::TempDir()) / ("saved-" + std::to_string(g_random_int()));
    SetDownloadFolder(folder_.string());
    TDownloadBar::SetLauncher([this](const std::string& uri, std::string*) {
      launched_.push_back(uri);
      return true;
    });
  }
  void TearDown() override {
    TDownloadBar::SetLauncher(nullptr);
    SetDownloadFolder("");
    fs::remove_all(folder_);
    FormTest::TearDown();
  }
  void Load(const std::string& path, const std::string& html) {
    server_.AddHtml(path, html);
    form_->EditURL->set_text(server_.Url(path));
    form_->ButtonOpen->clicked();
    ASSERT_TRUE(WaitForPage(form_, server_.Url(path)));
    ASSERT_TRUE(RunUntil([&] { return !form_->CppWebBrowser1->PageTitle().empty(); }));
  }
  // The keys pressed, then the download that the strip shows for them.
  TDownload* SaveWith(guint key, bool shift) {
    const std::size_t before = Shown().size();
    if (!testsupport::FocusWindow(form_->gobj())) return nullptr;
    std::vector<testsupport::KeyStep> steps{{GDK_KEY_Control_L, true}};
    if (shift) steps.push_back({GDK_KEY_Shift_L, true});
    steps.insert(steps.end(), {{key, true}, {key, false}});
    if (shift) steps.push_back({GDK_KEY_Shift_L, false});
    steps.push_back({GDK_KEY_Control_L, false});
    testsupport::SendKeySteps(steps);
    if (!RunUntil([&] { return Shown().size() > before; }, 20000)) return nullptr;
    return Shown().back();
  }
  std::vector<TDownload*> Shown() { return TDownloadBar::Of(*form_->CppWebBrowser1).Downloads(); }
  std::set<std::string> Files() {
    std::set<std::string> names;
    if (fs::exists(folder_)) {
      for (const auto& e : fs::directory_iterator(folder_)) names.insert(e.path().filename());
    }
    return names;
  }

  fs::path folder_;
  std::vector<std::string> launched_;
};

struct Kind {
  guint key;
  bool shift;
  const char* extension;
};

constexpr Kind kKinds[] = {{GDK_KEY_s, false, ".mhtml"}, {GDK_KEY_s, true, ".png"}};

TEST_F(PageSaveTest, EachSaveIsAFileOfItsOwnUnderThePageTitleShownInTheStrip) {
  Load("/product", ColouredPage(3000));
  std::set<std::string> expected;
  for (const Kind& kind : kKinds) {
    const std::string name = download_name::Safe(std::string("商品/ページ: 価格") + kind.extension);
    for (unsigned n = 0; n < 2; ++n) {
      SCOPED_TRACE(kind.extension + std::to_string(n));
      TDownload* saved = SaveWith(kind.key, kind.shift);
      ASSERT_NE(saved, nullptr);
      EXPECT_EQ(saved->state(), TDownload::State::kDone) << saved->Failure();
      EXPECT_EQ(fs::path(saved->Path()), folder_ / download_name::Numbered(name, n));
      expected.insert(download_name::Numbered(name, n));
      EXPECT_EQ(Files(), expected) << "nothing replaced, nothing left behind";
      EXPECT_EQ(saved->Received(), fs::file_size(saved->Path()));
    }
  }
  const std::string mhtml = testsupport::ReadFile(
      folder_ / download_name::Safe(std::string("商品/ページ: 価格") + ".mhtml"));
  EXPECT_NE(mhtml.find("multipart/related"), std::string::npos) << mhtml.substr(0, 300);
  EXPECT_NE(mhtml.find("price 1980 yen"), std::string::npos);
  EXPECT_NE(mhtml.find(server_.Url("/product")), std::string::npos);

  const fs::path png = folder_ / download_name::Safe(std::string("商品/ページ: 価格") + ".png");
  cairo_surface_t* picture = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(picture), CAIRO_STATUS_SUCCESS);
  const int height = cairo_image_surface_get_height(picture);
  EXPECT_EQ(height, 3000) << "the whole page, not the window";
  cairo_surface_flush(picture);
  const auto* bottom =
      reinterpret_cast<const guint32*>(cairo_image_surface_get_data(picture) +
                                       (height - 10) * cairo_image_surface_get_stride(picture));
  const auto* top = reinterpret_cast<const guint32*>(cairo_image_surface_get_data(picture));
  EXPECT_EQ(*bottom & 0xffffff, 0xff0000u);
  EXPECT_EQ(*top & 0xffffff, 0x0000ffu);
  cairo_surface_destroy(picture);

  // The strip offers the newest file: "開く" and "フォルダを開く".
  auto* row = testsupport::FindWidget<TDownloadRow>(
      *form_->CppWebBrowser1, [](TDownloadRow& r) { return r.get_visible(); });
  ASSERT_NE(row, nullptr);
  for (const char* button : {"開く", "フォルダを開く"}) {
    Gtk::Button* b = testsupport::FindWidget<Gtk::Button>(
        *row, [&](Gtk::Button& w) { return w.get_visible() && w.get_label() == button; });
    ASSERT_NE(b, nullptr) << button;
    b->clicked();
  }
  ASSERT_EQ(launched_.size(), 2u);
  EXPECT_EQ(launched_[1], "file://" + folder_.string());
}

// A title that leaves nothing once made safe names the file by the site.
TEST_F(PageSaveTest, APageTitledWithDotsOrDirectionMarksAloneIsSavedUnderItsSitesName) {
  struct Row {
    const char* title;
    Kind kind;
  };
  const Row rows[] = {
      {"..", kKinds[0]},       {".", kKinds[0]},  {"\u200F\u202E\u200E", kKinds[0]},
      {" . / .. ", kKinds[0]}, {"..", kKinds[1]},
  };
  unsigned mhtml = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.title);
    Load("/dots", std::string("<title>") + row.title + "</title>a page");
    TDownload* saved = SaveWith(row.kind.key, row.kind.shift);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->state(), TDownload::State::kDone) << saved->Failure();
    const std::string named = std::string("127.0.0.1") + row.kind.extension;
    const unsigned n = row.kind.shift ? 0 : mhtml++;
    EXPECT_EQ(fs::path(saved->Path()), folder_ / download_name::Numbered(named, n));
  }
}

TEST_F(PageSaveTest, APageTooTallForOnePictureIsCutAtTheLimitAndTheStripSaysSo) {
  Load("/long", ColouredPage(kMaxPictureHeight + 8000));
  TDownload* saved = SaveWith(GDK_KEY_s, true);
  ASSERT_NE(saved, nullptr);
  ASSERT_EQ(saved->state(), TDownload::State::kDone) << saved->Failure();
  cairo_surface_t* picture = cairo_image_surface_create_from_png(saved->Path().c_str());
  ASSERT_EQ(cairo_surface_status(picture), CAIRO_STATUS_SUCCESS);
  // At the limit, or shorter when the engine was short of memory for it.
  EXPECT_LE(cairo_image_surface_get_height(picture), kMaxPictureHeight);
  EXPECT_GE(cairo_image_surface_get_height(picture), kMaxPictureHeight / 2);
  cairo_surface_destroy(picture);
  EXPECT_NE(saved->Note().find("途中まで"), std::string::npos);
  auto* status = testsupport::FindWidget<Gtk::Label>(
      *form_->CppWebBrowser1, [](Gtk::Label& l) { return l.get_name() == "DownloadStatus"; });
  ASSERT_NE(status, nullptr);
  EXPECT_NE(status->get_text().find(saved->Note()), std::string::npos) << status->get_text();
  EXPECT_EQ(RunScript(form_->CppWebBrowser1->View(), "document.documentElement.scrollHeight"),
            std::to_string(kMaxPictureHeight + 8000))
      << "the page takes its length back";
}

TEST_F(PageSaveTest, AFolderThatCannotBeWrittenIsReportedAsAFailure) {
  Load("/product", ColouredPage(600));
  fs::create_directories(folder_.parent_path());
  { std::ofstream blocker(folder_); }  // a file where the folder should be
  for (const Kind& kind : kKinds) {
    TDownload* saved = SaveWith(kind.key, kind.shift);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->state(), TDownload::State::kFailed);
    EXPECT_NE(saved->Failure().find("保存先のフォルダ"), std::string::npos) << saved->Failure();
    EXPECT_TRUE(saved->Path().empty());
  }
  EXPECT_TRUE(fs::is_regular_file(folder_)) << "left as it was";
}

}  // namespace
