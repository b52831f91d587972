// Writing a download: under a temporary name, then to a name that is free.
#include "downloads/file.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;

using testsupport::ReadFile;
using testsupport::WriteFile;

class DownloadFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("tavorin-download-XXXXXX", nullptr);
    folder_ = dir;
    g_free(dir);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  fs::path folder_;
};

TEST_F(DownloadFileTest, ReservingMakesAFileOfItsOwnInTheFolder) {
  DownloadFile file;
  ASSERT_TRUE(file.Reserve(folder_)) << file.Error();
  const fs::path temporary = file.TemporaryPath();
  EXPECT_EQ(temporary.parent_path(), folder_);
  EXPECT_EQ(Names(), std::set<std::string>{temporary.filename().string()});
  DownloadFile other;
  ASSERT_TRUE(other.Reserve(folder_));
  EXPECT_NE(other.TemporaryPath(), file.TemporaryPath());
}

TEST_F(DownloadFileTest, CommitNeverReplacesAFile) {
  WriteFile(folder_ / "report.csv", "the user's own\n");
  WriteFile(folder_ / "report (1).csv", "also kept\n");
  DownloadFile file;
  ASSERT_TRUE(file.Reserve(folder_));
  WriteFile(file.TemporaryPath(), "downloaded\n");
  const std::string path = file.Commit("report.csv");
  EXPECT_EQ(path, (folder_ / "report (2).csv").string());
  EXPECT_EQ(ReadFile(folder_ / "report.csv"), "the user's own\n");
  EXPECT_EQ(ReadFile(folder_ / "report (1).csv"), "also kept\n");
  EXPECT_EQ(ReadFile(path), "downloaded\n");
  EXPECT_EQ(Names(), (std::set<std::string>{"report.csv", "report (1).csv", "report (2).csv"}));
  file.Discard();  // the committed file stays
  EXPECT_TRUE(fs::exists(path));
}

TEST_F(DownloadFileTest, ALinkWithTheNameIsNotFollowed) {
  const fs::path outside = folder_ / "outside";
  fs::create_directory(outside);
  fs::create_symlink(outside / "target", folder_ / "note.txt");
  DownloadFile file;
  ASSERT_TRUE(file.Reserve(folder_));
  EXPECT_EQ(file.Commit("note.txt"), (folder_ / "note (1).txt").string());
  EXPECT_FALSE(fs::exists(outside / "target"));
}

TEST_F(DownloadFileTest, DiscardLeavesNothing) {
  DownloadFile file;
  ASSERT_TRUE(file.Reserve(folder_));
  WriteFile(file.TemporaryPath(), "partial");
  WriteFile(file.TemporaryPath() + ".wkdownload", "the engine's partial data");
  file.Discard();
  EXPECT_TRUE(Names().empty());
}

TEST_F(DownloadFileTest, AFolderThatCannotBeWrittenIsSaid) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  DownloadFile file;
  EXPECT_FALSE(file.Reserve(folder_));
  EXPECT_FALSE(file.Error().empty());
  fs::permissions(folder_, fs::perms::owner_all);
}

TEST_F(DownloadFileTest, MissingFoldersAreMadePrivate) {
  const fs::path folder = folder_ / "home" / "Downloads";
  std::string error;
  ASSERT_TRUE(MakeFolder(folder, &error)) << error;
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(MakeFolder(folder, &error)) << "an existing folder is fine";
  WriteFile(folder_ / "file", "");
  EXPECT_FALSE(MakeFolder(folder_ / "file", &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
