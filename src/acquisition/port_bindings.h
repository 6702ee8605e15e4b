// Which device each of the ports COM1 ... COM8 reads, when the user has bound one: chosen in
// the device picker, kept between runs, or given with --port. A bound device wins over the
// OVIXLOG_COMn variable and the /dev/ttyS default.
#pragma once

#include <string>

namespace ovixlog {

inline constexpr int kPortCount = 8;

// Binds COM`port` (1..8) to `device`; an empty device removes the binding. Other numbers are
// ignored. Any thread; the table has a lock of its own.
void BindPort(int port, const std::string& device);
// The device bound to COM`port`, or empty.
std::string BoundDevice(int port);
// Removes every binding.
void ClearPortBindings();

// The device that COM`port` opens when nothing is bound: $OVIXLOG_COMn when set and not empty,
// else /dev/ttyS<n-1>.
std::string UnboundDevicePath(int port);
// True when $OVIXLOG_COMn names a device for this port.
bool PortHasEnvironmentDevice(int port);

}  // namespace ovixlog
