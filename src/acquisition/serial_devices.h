// The serial devices present on this machine, with what the system knows of each: its stable
// name under /dev/serial/by-id/, its node (ttyUSB0, ttyACM0, ...) and, for USB adapters, the
// maker, product and serial number the adapter reports (read from sysfs).
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ovixlog {

struct SerialDevice {
  std::string path;      // what to open: the by-id name when there is one, else /dev/<node>
  std::string node;      // "ttyUSB0"
  std::string byIdName;  // "usb-Maker_Product_A12345-if00-port0", or empty
  std::string maker;     // as the adapter reports them, or empty
  std::string product;
  std::string serial;

  // "Maker Product", the product alone when it already names the maker, or a plain "USB serial
  // adapter" / "Serial port" when the system knows nothing more.
  std::string Description() const;
  // True for USB adapters and modems (ttyUSB*, ttyACM*), which come and go.
  bool Pluggable() const;

  bool operator==(const SerialDevice&) const = default;
};

// Lists the devices under `root` ("/" on a live system; tests build a tree of their own): those
// with a /dev/serial/by-id/ name first, sorted by it, then the other USB nodes and the built-in
// ports that have hardware behind them, sorted by node.
std::vector<SerialDevice> ListSerialDevices(const std::string& root = "/");

// The device that `path` (a by-id name or a node) is, when it is present.
std::optional<SerialDevice> FindSerialDevice(const std::vector<SerialDevice>& devices,
                                             const std::string& path);

// Notices pluggable devices that appear: the first poll learns what is there, each later poll
// returns a device that was not there the poll before, if any.
class DeviceWatch {
 public:
  std::optional<SerialDevice> Poll(const std::vector<SerialDevice>& present);
  // True when a device with `node` was present at the last poll.
  bool Present(const std::string& node) const { return nodes_.count(node) != 0; }

 private:
  bool primed_ = false;
  std::set<std::string> nodes_;
};

}  // namespace ovixlog
