#include "app/keyboard_locks.h"

#include <QGuiApplication>

#if OVIXLOG_HAVE_XKB
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#endif

namespace ovixlog {

#if OVIXLOG_HAVE_XKB && QT_CONFIG(xcb)
namespace {

bool IndicatorOn(Display* display, const char* name) {
  const Atom atom = XInternAtom(display, name, True);
  if (atom == None)
    return false;
  Bool on = False;
  if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
    return false;
  return on != False;
}

}  // namespace

std::optional<KeyboardLocks> QueryKeyboardLocks() {
  auto* x11 =
      qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->display() == nullptr)
    return std::nullopt;
  Display* display = x11->display();
  return KeyboardLocks{IndicatorOn(display, "Caps Lock"), IndicatorOn(display, "Num Lock"),
                       IndicatorOn(display, "Scroll Lock")};
}

#else

std::optional<KeyboardLocks> QueryKeyboardLocks() {
  return std::nullopt;
}

#endif

}  // namespace ovixlog
