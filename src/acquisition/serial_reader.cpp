// Placeholder until the reading thread lands: no port is opened, the file feed works.
#include "acquisition/serial_reader.h"

#include <cstdlib>

namespace ovixlog {

SerialReader::SerialReader(const std::string& portName, SampleSink* document,
                           SampleNotifier* viewWindow)
    : document_(document), viewWindow_(viewWindow),
      fileFeed_(model, altFrameFormat, document, viewWindow) {
  status_.portName = portName;
  status_.devicePath = DevicePathFor(portName);
}

SerialReader::~SerialReader() { Stop(); }

void SerialReader::Stop() { running = 0; }

SerialStatus SerialReader::Status() const {
  std::lock_guard<std::mutex> lock(statusLock_);
  return status_;
}

std::string SerialReader::DevicePathFor(const std::string& portName) { return portName; }

void SerialReader::ReadLoop() {}

}  // namespace ovixlog
