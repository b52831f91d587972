// A window over a history that is kept and starts empty: for what the
// history makes of real visits.
#pragma once

#include <string>

#include "history/history.h"
#include "store/history_store.h"
#include "tests/support/navigation_support.h"

// A page that names itself `title`, and shows it.
inline std::string Titled(const std::string& title) {
  return "<!doctype html><title>" + title + "</title><p>" + title;
}

class HistoryFormTest : public FormTest {
 protected:
  void SetUp() override {
    SetKeepHistory(true);
    ASSERT_NE(History(), nullptr);
    History()->DeleteAll();
    FormTest::SetUp();
  }
  void TearDown() override {
    FormTest::TearDown();
    SetKeepHistory(true);
  }
};
