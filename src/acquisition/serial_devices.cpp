#include "acquisition/serial_devices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace ovixlog {
namespace fs = std::filesystem;
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The first line of a sysfs attribute file, without its newline; empty when missing.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

// Fills maker, product and serial from the USB device above the tty's interface: the first
// folder up from the tty's device link that has an idVendor file.
void ReadUsbAttributes(const fs::path& ttyClass, SerialDevice& device) {
  std::error_code error;
  fs::path dir = fs::canonical(ttyClass / "device", error);
  if (error)
    return;
  for (int up = 0; up < 4 && !dir.empty() && dir != dir.root_path(); ++up) {
    if (fs::exists(dir / "idVendor", error)) {
      device.maker = ReadAttribute(dir / "manufacturer");
      device.product = ReadAttribute(dir / "product");
      device.serial = ReadAttribute(dir / "serial");
      return;
    }
    dir = dir.parent_path();
  }
}

// A built-in port (ttyS*) is listed only when a UART is behind it: the kernel makes eight or
// more of them whatever the hardware, with type 0 for the absent ones.
bool HasHardware(const fs::path& ttyClass) {
  const std::string type = ReadAttribute(ttyClass / "type");
  return !type.empty() && type != "0";
}

}  // namespace

std::string SerialDevice::Description() const {
  if (!product.empty()) {
    if (maker.empty() || StartsWith(product, maker.c_str()))
      return product;
    return maker + " " + product;
  }
  if (!maker.empty())
    return maker;
  return Pluggable() ? "USB serial adapter" : "Serial port";
}

bool SerialDevice::Pluggable() const {
  return StartsWith(node, "ttyUSB") || StartsWith(node, "ttyACM");
}

std::vector<SerialDevice> ListSerialDevices(const std::string& root) {
  const fs::path base(root);
  const fs::path dev = base / "dev";
  std::error_code error;

  // Every node that names a serial line, with what sysfs says of it.
  std::map<std::string, SerialDevice> nodes;
  for (const fs::directory_entry& entry : fs::directory_iterator(base / "sys/class/tty", error)) {
    const std::string node = entry.path().filename().string();
    const bool usb = StartsWith(node, "ttyUSB") || StartsWith(node, "ttyACM");
    const bool builtIn = StartsWith(node, "ttyS") && node.size() > 4;
    if (!usb && !builtIn)
      continue;
    std::error_code missing;
    if (!fs::exists(dev / node, missing))
      continue;
    if (builtIn && !HasHardware(entry.path()))
      continue;
    SerialDevice device;
    device.node = node;
    device.path = "/dev/" + node;
    if (usb)
      ReadUsbAttributes(entry.path(), device);
    nodes.emplace(node, device);
  }

  std::vector<SerialDevice> named;
  for (const fs::directory_entry& entry : fs::directory_iterator(dev / "serial/by-id", error)) {
    std::error_code broken;
    const fs::path target = fs::canonical(entry.path(), broken);
    if (broken)
      continue;
    const auto found = nodes.find(target.filename().string());
    if (found == nodes.end() || !found->second.byIdName.empty())
      continue;
    found->second.byIdName = entry.path().filename().string();
    found->second.path = "/dev/serial/by-id/" + found->second.byIdName;
    named.push_back(found->second);
  }
  std::sort(named.begin(), named.end(),
            [](const SerialDevice& a, const SerialDevice& b) { return a.byIdName < b.byIdName; });

  std::vector<SerialDevice> devices = named;
  std::vector<SerialDevice> others;
  for (const auto& [node, device] : nodes) {
    if (device.byIdName.empty())
      others.push_back(device);
  }
  // Numeric order within each family: ttyUSB2 before ttyUSB10.
  std::sort(others.begin(), others.end(), [](const SerialDevice& a, const SerialDevice& b) {
    const auto split = [](const std::string& node) {
      size_t digits = node.size();
      while (digits > 0 && std::isdigit(static_cast<unsigned char>(node[digits - 1])) != 0)
        --digits;
      const std::string family = node.substr(0, digits);
      const unsigned long number = digits < node.size() ? std::stoul(node.substr(digits)) : 0UL;
      return std::make_pair(family, number);
    };
    return split(a.node) < split(b.node);
  });
  devices.insert(devices.end(), others.begin(), others.end());
  return devices;
}

std::optional<SerialDevice> FindSerialDevice(const std::vector<SerialDevice>& devices,
                                             const std::string& path) {
  for (const SerialDevice& device : devices) {
    if (device.path == path || "/dev/" + device.node == path)
      return device;
  }
  return std::nullopt;
}

std::optional<SerialDevice> DeviceWatch::Poll(const std::vector<SerialDevice>& present) {
  std::set<std::string> now;
  std::optional<SerialDevice> appeared;
  for (const SerialDevice& device : present) {
    if (!device.Pluggable())
      continue;
    now.insert(device.node);
    if (primed_ && !appeared && nodes_.count(device.node) == 0)
      appeared = device;
  }
  nodes_ = std::move(now);
  primed_ = true;
  return appeared;
}

}  // namespace ovixlog
