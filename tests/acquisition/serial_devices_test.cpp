#include "acquisition/serial_devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_system.h"

namespace ovixlog {
namespace {

using test::FakeSystem;

SerialDevice Device(const std::string& path, const std::string& node, const std::string& byId,
                    const std::string& maker, const std::string& product,
                    const std::string& serial) {
  return SerialDevice{path, node, byId, maker, product, serial};
}

std::vector<std::string> Paths(const std::vector<SerialDevice>& devices) {
  std::vector<std::string> paths;
  for (const SerialDevice& device : devices)
    paths.push_back(device.path);
  return paths;
}

TEST(SerialDevices, ListsByIdNamesFirstWithWhatTheAdapterReports) {
  FakeSystem system;
  system.AddUsb("ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A12345");
  system.AddById("usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "ttyUSB0");
  system.AddUsb("ttyUSB10", "1-4", "", "", "");
  system.AddUsb("ttyUSB2", "1-3", "Prolific Technology Inc.", "USB-Serial Controller", "");
  system.AddUsb("ttyACM0", "1-1", "Example", "Example Modem", "0001");
  system.AddById("usb-Example_Example_Modem_0001-if00", "ttyACM0");
  system.AddBuiltIn("ttyS0", 4);
  system.AddBuiltIn("ttyS1", 0);
  const std::vector<SerialDevice> devices = ListSerialDevices(system.path());
  const std::vector<SerialDevice> expected = {
      Device("/dev/serial/by-id/usb-Example_Example_Modem_0001-if00", "ttyACM0",
             "usb-Example_Example_Modem_0001-if00", "Example", "Example Modem", "0001"),
      Device("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "ttyUSB0",
             "usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "FTDI", "FT232R USB UART", "A12345"),
      Device("/dev/ttyS0", "ttyS0", "", "", "", ""),
      Device("/dev/ttyUSB2", "ttyUSB2", "", "Prolific Technology Inc.", "USB-Serial Controller",
             ""),
      Device("/dev/ttyUSB10", "ttyUSB10", "", "", "", ""),
  };
  EXPECT_EQ(devices, expected);
  std::vector<std::string> descriptions;
  for (const SerialDevice& device : devices)
    descriptions.push_back(device.Description());
  EXPECT_EQ(descriptions,
            (std::vector<std::string>{"Example Modem", "FTDI FT232R USB UART", "Serial port",
                                      "Prolific Technology Inc. USB-Serial Controller",
                                      "USB serial adapter"}));
}

TEST(SerialDevices, SkipsWhatIsNotThere) {
  struct Case {
    const char* name;
    void (*build)(FakeSystem&);
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {"nothing at all", [](FakeSystem&) {}, {}},
      {"a by-id name whose node is gone",
       [](FakeSystem& s) {
         s.AddUsb("ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A1");
         s.AddById("usb-FTDI-A1-if00-port0", "ttyUSB0");
         s.AddById("usb-Gone-if00-port0", "ttyUSB7");
       },
       {"/dev/serial/by-id/usb-FTDI-A1-if00-port0"}},
      {"a node without its /dev entry",
       [](FakeSystem& s) {
         s.AddUsb("ttyUSB0", "1-2", "FTDI", "X", "");
         s.AddUsb("ttyUSB1", "1-3", "FTDI", "Y", "");
         s.Remove("ttyUSB0");
       },
       {"/dev/ttyUSB1"}},
      {"ports without hardware",
       [](FakeSystem& s) {
         for (int n = 0; n < 4; ++n)
           s.AddBuiltIn("ttyS" + std::to_string(n), n == 2 ? 4 : 0);
       },
       {"/dev/ttyS2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSystem system;
    c.build(system);
    EXPECT_EQ(Paths(ListSerialDevices(system.path())), c.paths);
  }
}

TEST(SerialDevices, FindsADeviceByEitherName) {
  const std::vector<SerialDevice> devices = {
      Device("/dev/serial/by-id/usb-A-port0", "ttyUSB0", "usb-A-port0", "", "", ""),
      Device("/dev/ttyACM3", "ttyACM3", "", "", "", "")};
  EXPECT_EQ(FindSerialDevice(devices, "/dev/serial/by-id/usb-A-port0"), devices[0]);
  EXPECT_EQ(FindSerialDevice(devices, "/dev/ttyUSB0"), devices[0]);
  EXPECT_EQ(FindSerialDevice(devices, "/dev/ttyACM3"), devices[1]);
  EXPECT_EQ(FindSerialDevice(devices, "/dev/ttyACM4"), std::nullopt);
}

TEST(DeviceWatch, ReportsOnlyPluggableDevicesThatAppear) {
  const SerialDevice usb0 = Device("/dev/ttyUSB0", "ttyUSB0", "", "", "", "");
  const SerialDevice usb1 = Device("/dev/ttyUSB1", "ttyUSB1", "", "", "", "");
  const SerialDevice acm0 = Device("/dev/ttyACM0", "ttyACM0", "", "", "", "");
  const SerialDevice ttyS4 = Device("/dev/ttyS4", "ttyS4", "", "", "", "");
  struct Step {
    std::vector<SerialDevice> present;
    std::optional<SerialDevice> appeared;
  };
  const Step steps[] = {
      {{usb0}, std::nullopt},  // there at the start: not new
      {{usb0}, std::nullopt},     {{usb0, ttyS4}, std::nullopt},
      {{usb0, usb1}, usb1},       {{usb1}, std::nullopt},
      {{usb0, usb1}, usb0},  // back again after being pulled
      {{usb0, usb1, acm0}, acm0}, {{}, std::nullopt},
  };
  DeviceWatch watch;
  int n = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "poll " << n++);
    EXPECT_EQ(watch.Poll(step.present), step.appeared);
  }
  EXPECT_FALSE(watch.Present("ttyUSB0"));
}

}  // namespace
}  // namespace ovixlog
