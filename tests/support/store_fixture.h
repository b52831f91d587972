// A store of the program's own, opened on a private profile folder that goes
// with the test; Reopen() opens it again as the next run would.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/private_folders.h"

namespace testsupport {

template <typename Store>
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { Reopen(); }
  void TearDown() override {
    store_.reset();
    RemoveTree(root_);
  }
  void Reopen() {
    store_.reset();
    store_ = Store::Open(root_ + "/profile");
    ASSERT_NE(store_, nullptr);
  }

  const std::string root_ = MakePrivateRoot();
  const std::string file_ = root_ + "/profile/" + Store::kFileName;
  std::unique_ptr<Store> store_;
};

}  // namespace testsupport
