#pragma once
// What the tests of the fork stores and of the resource-fork streams share:
// a test parameterised over every store, run in a scratch folder with the
// store installed for the process.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppleDoubleStore.h"
#include "platform/ExtfsStore.h"
#include "platform/FolderItem.h"
#include "platform/MemoryForkStore.h"
#include "support/TestSupport.h"

namespace forktest {

inline std::vector<std::string> StoreNames() { return {"appledouble", "extfs", "memory"}; }

class StoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "memory") {
      memory = std::make_shared<MemoryForkStore>();
      store = memory;
    } else {
      store = GetParam() == "extfs" ? ForkStorePtr(std::make_shared<ExtfsStore>())
                                    : ForkStorePtr(std::make_shared<AppleDoubleStore>());
    }
    ForkStore::Install(store);
  }
  void TearDown() override { ForkStore::Install(nullptr); }

  FolderItem MakeFile(const std::string& name, const std::string& data = "") {
    testsupport::WriteFile(dir / name, data);
    return FolderItem(dir / name);
  }

  // Everything in the scratch folder as the file system lists it, store
  // files included, sorted.
  std::vector<std::string> RawNames() const { return RawNames(dir.path()); }
  static std::vector<std::string> RawNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Whether the store keeps anything anywhere in the scratch folder.
  bool StoresAnything() const {
    if (memory) return memory->ItemCount() > 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) {
      if (store->IsStoreFile(e.path().filename().string())) return true;
    }
    return false;
  }

  testsupport::TempDir dir;
  ForkStorePtr store;
  std::shared_ptr<MemoryForkStore> memory;  // set for the memory store only
};

inline std::string PatternBytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

}  // namespace forktest
