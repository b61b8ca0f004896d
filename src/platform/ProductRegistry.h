// The product registry: product tag -> directory of that product's engines.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trs {

// The directory registered for the tag (text used unchanged as a prefix, so it normally
// ends with the path separator), or nothing when no registry or no such value exists.
std::optional<std::string> LookupProductDirectory(const std::string& tag);

// Every directory the registry names, in its order (duplicates included).
std::vector<std::string> ListProductDirectories();

}  // namespace trs
