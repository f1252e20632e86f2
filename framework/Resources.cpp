// Where the program finds its files: the running executable, and the resources of its bundle or its install.
#include "Resources.h"

#include <unistd.h>

#include <climits>

namespace fw {

namespace {

std::string& ResourcesOverride() {
  static std::string folder;
  return folder;
}

}  // namespace

std::shared_ptr<FolderItem> GetApplicationExecutable() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return nullptr;
  return std::make_shared<FolderItem>(std::string(buffer, static_cast<size_t>(n)));
}

std::shared_ptr<FolderItem> GetApplicationBundleResources() {
  if (!ResourcesOverride().empty()) return std::make_shared<FolderItem>(ResourcesOverride());
  auto executable = GetApplicationExecutable();
  return executable ? BundleResourcesOf(*executable) : nullptr;
}

std::shared_ptr<FolderItem> BundleResourcesOf(const FolderItem& executable) {
  auto folder = executable.Parent();
  auto contents = folder ? folder->Parent() : nullptr;
  if (!contents) return nullptr;
  auto bundled = contents->Child("Resources");
  if (bundled && bundled->Directory()) return bundled;
  // An installed program: PREFIX/bin/NAME finds its files in PREFIX/share/NAME.
  auto share = contents->Child("share");
  auto installed = share ? share->Child(executable.Name()) : nullptr;
  if (installed && installed->Directory()) return installed;
  return bundled;
}

void SetBundleResourcesForTesting(const std::string& folder) { ResourcesOverride() = folder; }

}  // namespace fw
