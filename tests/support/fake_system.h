// A machine's serial devices in a folder: /dev nodes, /dev/serial/by-id links and the sysfs
// entries with what USB adapters report, laid out as the kernel and udev lay them out.
#pragma once

#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace ovixlog::test {

class FakeSystem {
 public:
  // A USB adapter: the tty's interface folder under the USB device, whose attribute files
  // hold what the adapter reports (an empty value leaves the file out).
  void AddUsb(const std::string& node, const std::string& usbPath, const std::string& maker,
              const std::string& product, const std::string& serial) {
    const std::filesystem::path device = root() / "sys/devices/pci0000:00/usb1" / usbPath;
    const std::filesystem::path interface = device / (usbPath + ":1.0");
    std::filesystem::create_directories(interface / node);
    test::WriteWholeFile(device / "idVendor", "0403\n");
    if (!maker.empty())
      test::WriteWholeFile(device / "manufacturer", maker + "\n");
    if (!product.empty())
      test::WriteWholeFile(device / "product", product + "\n");
    if (!serial.empty())
      test::WriteWholeFile(device / "serial", serial + "\n");
    AddTty(node, std::filesystem::relative(interface, root() / "sys/class/tty" / node));
  }
  // A built-in port; `uartType` 0 means no hardware behind it.
  void AddBuiltIn(const std::string& node, int uartType) {
    const std::filesystem::path device = root() / "sys/devices/platform/serial8250/tty" / node;
    std::filesystem::create_directories(device);
    test::WriteWholeFile(root() / "sys/devices/platform/serial8250/tty" / node / "type",
                         std::to_string(uartType) + "\n");
    std::filesystem::create_directories(root() / "sys/class/tty");
    std::filesystem::create_directory_symlink(
        std::filesystem::relative(device, root() / "sys/class/tty"),
        root() / "sys/class/tty" / node);
    std::filesystem::create_directories(root() / "dev");
    test::WriteWholeFile(root() / "dev" / node, "");
  }
  void AddById(const std::string& name, const std::string& node) {
    std::filesystem::create_directories(root() / "dev/serial/by-id");
    std::filesystem::create_symlink("../../" + node, root() / "dev/serial/by-id" / name);
  }
  void Remove(const std::string& node) {
    std::filesystem::remove_all(root() / "sys/class/tty" / node);
    std::filesystem::remove(root() / "dev" / node);
  }
  std::string path() const { return folder_.path(); }

 private:
  std::filesystem::path root() const { return std::filesystem::path(folder_.path()); }
  void AddTty(const std::string& node, const std::filesystem::path& interfaceFromClass) {
    const std::filesystem::path cls = root() / "sys/class/tty" / node;
    std::filesystem::create_directories(cls);
    std::filesystem::create_directory_symlink(interfaceFromClass, cls / "device");
    std::filesystem::create_directories(root() / "dev");
    test::WriteWholeFile(root() / "dev" / node, "");
  }
  test::TempFolder folder_;
};

}  // namespace ovixlog::test
