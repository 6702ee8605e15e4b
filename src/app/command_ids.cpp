#include "app/command_ids.h"

#include <array>
#include <utility>

namespace ovixlog {
namespace {

constexpr std::pair<int, const char*> kStrings[] = {
    {kIdModel5100,
     "Configure for the serial format of an Ovix Model 5100\nRead from Ovix Model 5100"},
    {kIdModel3100,
     "Configure for the serial format of an Ovix Model 3100\nRead from Ovix Model 3100"},
    {kIdCom1, "Read data from COM1"},
    {kIdCom2, "Read data from COM2"},
    {kIdCom3, "Read data from COM3"},
    {kIdCom4, "Read data from COM4"},
    {kIdOpenDemoLog, "Open an EFIS DEMO for Ovix data\nOpen EFIS DEMO"},
    {kIdModel7100,
     "Configure for the serial format of an Ovix Model 7100\nRead from Ovix Model 7100"},
    {kIdModel8100,
     "Configure for the serial format of an Ovix Model 8100\nRead from Ovix Model 8100"},
    {kIdKeepAllSamples, "Stores all samples instead of one per second"},
    {kIdCom5, "Read data from COM5"},
    {kIdCom6, "Read data from COM6"},
    {kIdCom7, "Read data from COM7"},
    {kIdCom8, "Read data from COM8"},
    {kIdShowSystemTime, "Show the current system time with each sample"},
    {kIdOpenSerialFile, "Open a file containing an Ovix data stream\nOpen Serial File"},
    {kIdReadV39,
     "Configure for the serial format of an Ovix with version 3.9 software\nRead from Ovix "
     "version 3.9"},
    {kIdNewestFirst, "Show newest entries first"},
    {kIdOldestFirst, "Show oldest entries first"},
    {kIdOpenRecording, "Open a recording of live data\nOpen Recording"},
    {kIdRecordLiveData, "Record all live data to a file, so that no flight is lost"},
    {kIdSerialPortDialog, "Choose the serial device that the current port reads\nSerial Port"},
    {kIdConnectMonitor,
     "Choose the adapter the monitor is plugged into and its model, and check that data "
     "arrives\nConnect Monitor"},
    {kIdsAppTitle, "OvixLog"},
    {kIdsIdleMessage, "Ready"},
    {kIdFileNew, "Create a new document\nNew"},
    {kIdFileOpen,
     "Open a recording, an EFIS DEMO log or a serial capture, told apart by its content\nOpen"},
    {kIdFileSave, "Save the active document\nSave"},
    {kIdFileSaveAs, "Save the active document with a new name\nSave As"},
    {kIdAppAbout, "Display program information, version number and copyright\nAbout"},
    {kIdAppExit, "Quit the application; prompts to save documents\nExit"},
    {kIdViewToolbar, "Show or hide the toolbar\nToggle ToolBar"},
    {kIdViewStatusBar, "Show or hide the status bar\nToggle StatusBar"},
    {kIdViewCharts, "Show or hide the charts of the flight\nToggle Charts"},
    {kIdsIndicatorCaps, "CAP"},
    {kIdsIndicatorNum, "NUM"},
    {kIdsIndicatorScrl, "SCRL"},
};

constexpr std::array<int, 8> kPortCommands = {kIdCom1, kIdCom2, kIdCom3, kIdCom4,
                                              kIdCom5, kIdCom6, kIdCom7, kIdCom8};

}  // namespace

std::string LoadString(int id) {
  for (const auto& [number, text] : kStrings) {
    if (number == id)
      return text;
  }
  return {};
}

std::string PromptOf(int id) {
  const std::string text = LoadString(id);
  return text.substr(0, text.find('\n'));
}

std::string ToolTipOf(int id) {
  const std::string text = LoadString(id);
  const size_t newline = text.find('\n');
  return newline == std::string::npos ? std::string() : text.substr(newline + 1);
}

int PortOfCommand(int id) {
  for (size_t i = 0; i < kPortCommands.size(); ++i) {
    if (kPortCommands[i] == id)
      return static_cast<int>(i) + 1;
  }
  return 0;
}

int CommandOfPort(int port) {
  if (port < 1 || port > 8)
    return 0;
  return kPortCommands[static_cast<size_t>(port - 1)];
}

}  // namespace ovixlog
