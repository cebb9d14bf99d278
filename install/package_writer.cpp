#include "install/package_writer.h"

namespace vespodar {

std::string StagingPath(const std::string& target, const std::string& tag) {
  const std::string::size_type slash = target.rfind('\\');
  const std::string::size_type nameStart = slash == std::string::npos ? 0 : slash + 1;
  return target.substr(0, nameStart) + "~" + target.substr(nameStart) + "." + tag + ".tmp";
}

}  // namespace vespodar
