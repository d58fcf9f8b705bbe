#include "scene/key_state.h"

#include <QGuiApplication>
#include <QKeyEvent>

#if defined(VISTREL_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
// Xlib's event-type macros clash with QEvent's enumerators.
#undef KeyPress
#undef KeyRelease
#define VISTREL_QUERY_X11 1
#endif

namespace vistrel::scene {

namespace {

#ifdef VISTREL_QUERY_X11
Display* X11Display() {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->display() : nullptr;
}

// Keys are read from the server's key map, which knows nothing of focus; with Num Lock off the
// same keys are cursor keys and count as not held.
bool QueryX11(KeyState::Digits& digits) {
  Display* display = X11Display();
  if (display == nullptr) return false;
  digits.reset();
  XkbStateRec state;
  if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return true;
  const unsigned num_lock = XkbKeysymToModifiers(display, XK_Num_Lock);
  if (num_lock == 0 || (state.locked_mods & num_lock) == 0) return true;
  char keys[32];
  XQueryKeymap(display, keys);
  for (int d = 0; d <= 9; ++d) {
    const KeyCode code = XKeysymToKeycode(display, XK_KP_0 + d);
    if (code != 0 && (keys[code / 8] & (1 << (code % 8)))) digits.set(d);
  }
  return true;
}
#endif

}  // namespace

KeyState& KeyState::Instance() {
  static KeyState* instance = new KeyState();  // lives as long as the application
  return *instance;
}

KeyState::KeyState() {
  if (qApp) qApp->installEventFilter(this);
}

KeyState::Digits KeyState::KeypadDigitsDown() const {
#ifdef VISTREL_QUERY_X11
  Digits digits;
  if (QueryX11(digits)) return digits;
#endif
  return tracked_;
}

bool KeyState::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!key->isAutoRepeat() && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9) {
      const int digit = key->key() - Qt::Key_0;
      if (event->type() == QEvent::KeyRelease) {
        tracked_.reset(digit);
      } else if (key->modifiers() & Qt::KeypadModifier) {
        tracked_.set(digit);
      }
    }
  } else if (event->type() == QEvent::ApplicationDeactivate) {
    tracked_.reset();  // releases outside the application are never seen
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vistrel::scene
