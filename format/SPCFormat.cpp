#include "SPCFormat.h"

#include "BinaryStream.h"
#include "FolderItem.h"

SPCFormat::SPCFormat() : StandardTags(10), ExtendedData{""}, ExtendedIDs{0} {}

SPCFormat::~SPCFormat() = default;
