#include "app/shell_settings.h"

namespace tw {

std::string SettingsKeyPath(const std::string& programName, const std::string& section) {
  return "Software\\Tidewell\\" + programName + "\\" + section;
}

bool IsVersionPromptStart(std::uint32_t startCount) {
  // 0 only appears once the counter has wrapped; it is no 18th start.
  return startCount != 0 && startCount % 18 == 0;
}

}  // namespace tw
