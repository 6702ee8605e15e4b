// The Options menu's commands.
#include "document/ovixlog_doc.h"

namespace ovixlog {

bool COvixLogDoc::OnPort(int32_t port) {
  // Cancel, or a save that failed, abandons the switch: the samples are not discarded.
  if (!SaveModified())
    return false;
  commPort = port;
  OnNewDocument();
  UpdateAllViews(nullptr);
  return true;
}

void COvixLogDoc::OnModel(EngineModel code) {
  MeasureBeforeSettingsChange();
  model = code;
  PassSettingsToReader();
  UpdateAllViews(nullptr);
}

void COvixLogDoc::OnReadV39() {
  altFrameFormat = altFrameFormat.load() == 0 ? 1 : 0;
  PassSettingsToReader();
  UpdateAllViews(nullptr);
}

void COvixLogDoc::OnRecordLiveData() {
  recorder().SetEnabled(!recorder().enabled());
  UpdateAllViews(nullptr);
}

void COvixLogDoc::OnKeepAllSamples() {
  keepAllSamples = keepAllSamples.load() == 0 ? 1 : 0;
  UpdateAllViews(nullptr);
}

void COvixLogDoc::OnShowSystemTime() {
  MeasureBeforeSettingsChange();
  showSystemTime = showSystemTime.load() == 0 ? 1 : 0;
  UpdateAllViews(nullptr);
}

void COvixLogDoc::OnNewestFirst() {
  MeasureBeforeSettingsChange();
  oldestFirst = 0;
  UpdateAllViews(nullptr);
}

void COvixLogDoc::OnOldestFirst() {
  MeasureBeforeSettingsChange();
  oldestFirst = 1;
  UpdateAllViews(nullptr);
}

}  // namespace ovixlog
