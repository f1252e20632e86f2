// Where the program finds its files: the running executable, and the resources of its bundle or its install.
#pragma once

#include <memory>
#include <string>

#include "FolderItem.h"

namespace fw {

// The running executable's file.
std::shared_ptr<FolderItem> GetApplicationExecutable();
// The bundle's resources: BundleResourcesOf the running executable. nullptr when it cannot be had.
std::shared_ptr<FolderItem> GetApplicationBundleResources();
// The resources of the executable: its folder's parent, then "Resources", where that folder exists; else, for an
// installed program, the parent's "share" folder, then the executable's name, where that exists; else the first.
std::shared_ptr<FolderItem> BundleResourcesOf(const FolderItem& executable);

// Tests only: make GetApplicationBundleResources give this folder ("" restores the default).
void SetBundleResourcesForTesting(const std::string& folder);

}  // namespace fw
