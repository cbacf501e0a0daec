#pragma once
// A program directory of its own, a fast clock for the editor's waits, and
// the controls, dialogs, store and catalogue the account handlers work on.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "accounts/account_context.h"
#include "accounts/record_files.h"
#include "common/clock.h"
#include "common/program_dir.h"
#include "support/fake_dialogs.h"
#include "support/temp_dir.h"

namespace vidralo::test {

class AccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDirectory_ = programDirectory();
    setProgramDirectory(dir.path());
    previousClock_ = setClock(std::make_shared<ScaledClock>(1000.0, std::chrono::system_clock::now()));
  }
  void TearDown() override {
    setClock(previousClock_);
    setProgramDirectory(previousDirectory_);
  }

  // Writes a record file "\data\list\<name>" with the given content.
  std::string writeRecord(const std::string& name, const std::string& content) {
    return dir.write("data/list/" + name, content);
  }
  std::string recordText(const std::string& id) { return readFile(recordPath(id)); }

  TempDir dir;
  ControlModel controls;
  FakeDialogs dialogs;
  AccountStore store;
  CategoryCatalogue categories;
  AccountContext context{controls, dialogs, store, categories};

 private:
  std::string previousDirectory_;
  std::shared_ptr<const Clock> previousClock_;
};

}  // namespace vidralo::test
