#include "acquisition/port_bindings.h"

#include <array>
#include <cstdlib>
#include <mutex>

namespace ovixlog {
namespace {

struct BindingTable {
  std::mutex lock;  // guards devices; held only to copy one string in or out
  std::array<std::string, kPortCount> devices;
};

BindingTable& Table() {
  static BindingTable table;
  return table;
}

bool ValidPort(int port) {
  return port >= 1 && port <= kPortCount;
}

const char* EnvironmentDevice(int port) {
  const std::string name = "OVIXLOG_COM" + std::to_string(port);
  const char* value = std::getenv(name.c_str());
  return value != nullptr && value[0] != '\0' ? value : nullptr;
}

}  // namespace

void BindPort(int port, const std::string& device) {
  if (!ValidPort(port))
    return;
  BindingTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  table.devices[static_cast<size_t>(port - 1)] = device;
}

std::string BoundDevice(int port) {
  if (!ValidPort(port))
    return std::string();
  BindingTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  return table.devices[static_cast<size_t>(port - 1)];
}

void ClearPortBindings() {
  BindingTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  for (std::string& device : table.devices)
    device.clear();
}

std::string UnboundDevicePath(int port) {
  if (const char* configured = EnvironmentDevice(port))
    return configured;
  return "/dev/ttyS" + std::to_string(port - 1);
}

bool PortHasEnvironmentDevice(int port) {
  return EnvironmentDevice(port) != nullptr;
}

}  // namespace ovixlog
