// The state of the Caps, Num and Scroll Lock keys, where the windowing system tells it.
#pragma once

#include <optional>

namespace ovixlog {

struct KeyboardLocks {
  bool caps = false;
  bool num = false;
  bool scroll = false;
};

// The lock states from the X server's keyboard indicators; nothing on platforms that cannot
// tell (Wayland, offscreen) or in builds without Xlib.
std::optional<KeyboardLocks> QueryKeyboardLocks();

}  // namespace ovixlog
