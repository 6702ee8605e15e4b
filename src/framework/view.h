// What a document expects of a view attached to it.
#pragma once

#include "acquisition/sample_sink.h"

namespace ovixlog {

class View : public SampleNotifier {
 public:
  // Called once the document is ready, after a new document was started.
  virtual void OnInitialUpdate() = 0;
  // Called on the user-interface thread when the document changed; `sender` is the view that
  // caused it, or null.
  virtual void OnUpdate(View* sender, long hint) = 0;
  // SampleAdded (from SampleNotifier) may be called on the reading thread: it must only arrange
  // for an update on the user-interface thread and return at once. A view that is brought up
  // to date by OnUpdate alone ignores it.
  void SampleAdded() override {}
};

}  // namespace ovixlog
