// The known data directories and the removal of interrupted saves.
#include "drivers/DataDirectory.h"

#include <algorithm>

#include "platform/ProductRegistry.h"
#include "platform/ProgramFile.h"
#include "platform/WholeFile.h"

namespace trs {

std::vector<std::string> KnownDataDirectories() {
  std::vector<std::string> productDirectories{ProgramDirectory()};
  for (std::string& directory : ListProductDirectories()) productDirectories.push_back(std::move(directory));
  std::vector<std::string> dataDirectories;
  for (const std::string& product : productDirectories) {
    // A product directory is a prefix, as in GetProductPath.
    std::string data = product + "data" + PathDelimiter();
    if (std::find(dataDirectories.begin(), dataDirectories.end(), data) == dataDirectories.end())
      dataDirectories.push_back(std::move(data));
  }
  return dataDirectories;
}

size_t RemoveStaleSaves() {
  size_t removed = 0;
  for (const std::string& directory : KnownDataDirectories()) removed += RemoveStaleReplacements(directory);
  return removed;
}

}  // namespace trs
