// The command numbers of the window's menu items and buttons, and the strings that go with them:
// the status-bar prompt and, after "\n", the tool tip. The numbers route commands; nobody sees
// them.
#pragma once

#include <string>

namespace ovixlog {

enum CommandId : int {
  kIdModel5100 = 32771,
  kIdModel3100 = 32772,
  kIdCom1 = 32773,
  kIdCom2 = 32774,
  kIdCom3 = 32775,
  kIdCom4 = 32776,
  kIdOpenDemoLog = 32777,
  kIdModel7100 = 32778,
  kIdModel8100 = 32779,
  kIdKeepAllSamples = 32780,
  kIdCom5 = 32781,
  kIdCom6 = 32782,
  kIdCom7 = 32783,
  kIdCom8 = 32784,
  kIdShowSystemTime = 32785,
  kIdOpenSerialFile = 32788,
  kIdReadV39 = 32789,
  kIdNewestFirst = 32791,
  kIdOldestFirst = 32792,
  kIdOpenRecording = 32793,
  kIdRecordLiveData = 32794,
  kIdSerialPortDialog = 32800,
  kIdConnectMonitor = 32801,

  kIdFileNew = 57600,
  kIdFileOpen = 57601,
  kIdFileSave = 57603,
  kIdFileSaveAs = 57604,
  kIdAppAbout = 57664,
  kIdAppExit = 57665,
  kIdViewToolbar = 59392,
  kIdViewStatusBar = 59393,
  kIdViewCharts = 59394,
};

// The string of a command or other string number; empty when there is none.
std::string LoadString(int id);
// The status-bar prompt of a command: its string up to "\n".
std::string PromptOf(int id);
// The tool tip of a command: its string after "\n", or empty.
std::string ToolTipOf(int id);

// Other strings the window shows.
inline constexpr int kIdsAppTitle = 57344;     // "OvixLog"
inline constexpr int kIdsIdleMessage = 57345;  // "Ready"
inline constexpr int kIdsIndicatorCaps = 59137;
inline constexpr int kIdsIndicatorNum = 59138;
inline constexpr int kIdsIndicatorScrl = 59139;

// The port number (1..8) of a COM command, or 0.
int PortOfCommand(int id);
// The COM command of a port number 1..8.
int CommandOfPort(int port);

}  // namespace ovixlog
