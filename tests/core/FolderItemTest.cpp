// A file or folder by its path: its names, its folder and the items in it.
#include <gtest/gtest.h>

#include "FolderItem.h"

using namespace fw;

TEST(FolderItems, PathsNamesAndChildren) {
  EXPECT_EQ(GetFolderItem("relative/path"), nullptr);
  auto file = GetFolderItem("/music/Song One.spc");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Name(), "Song One.spc");
  EXPECT_EQ(file->AbsolutePath(), "/music/Song One.spc");
  EXPECT_EQ(file->Parent()->AbsolutePath(), "/music");
  EXPECT_FALSE(file->Exists());
  EXPECT_EQ(GetFolderItem("/tmp")->AbsolutePath(), "/tmp/");
  EXPECT_EQ(GetFolderItem("/tmp")->Child("x")->AbsolutePath(), "/tmp/x");
  EXPECT_EQ(GetFolderItem("/tmp")->Child("../etc"), nullptr);
  EXPECT_EQ(GetFolderItem("/tmp")->Child(".."), nullptr);
  EXPECT_EQ(GetFolderItem("/")->Parent(), nullptr);
}
