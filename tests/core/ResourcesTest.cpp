// Where a program finds its resources: beside the build's bundle layout first, then where an install puts them.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "FolderItem.h"
#include "Resources.h"
#include "support/Tmpfs.h"

namespace {

TEST(BundleResources, BundleLayoutFirstThenTheInstalledShareFolder) {
  struct Case {
    const char* executable;
    std::vector<const char*> folders;
    const char* found;
  } cases[] = {
      {"bin/quenlet", {"Resources"}, "Resources/"},
      {"bin/quenlet", {"share/quenlet"}, "share/quenlet/"},
      {"bin/quenlet", {"Resources", "share/quenlet"}, "Resources/"},
      // Neither is there: the bundle's place, as before.
      {"bin/quenlet", {}, "Resources"},
      {"bin/other", {"share/quenlet"}, "Resources"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.found);
    const std::string root = testing_support::ScratchFolder();
    for (const char* folder : c.folders) std::filesystem::create_directories(root + "/" + folder);
    auto resources = fw::BundleResourcesOf(fw::FolderItem(root + "/" + c.executable));
    ASSERT_NE(resources, nullptr);
    EXPECT_EQ(resources->AbsolutePath(), root + "/" + c.found);
    std::filesystem::remove_all(root);
  }
  EXPECT_EQ(fw::BundleResourcesOf(fw::FolderItem("/quenlet")), nullptr) << "the root has no parent";
}

}  // namespace
