#include "framework/startup_settings.h"

namespace ovixlog {

StartupSettings& TheStartupSettings() {
  static StartupSettings settings;
  return settings;
}

}  // namespace ovixlog
