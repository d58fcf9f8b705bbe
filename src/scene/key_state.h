#pragma once

// Physical state of the numeric keypad digits, whatever widget has the keyboard focus.

#include <QObject>
#include <bitset>

namespace vistrel::scene {

class KeyState : public QObject {
 public:
  // Bit d is set while keypad digit d is held with Num Lock on.
  using Digits = std::bitset<10>;

  // The application-wide instance; created on first use, needs a QGuiApplication.
  static KeyState& Instance();

  // On X11 the keyboard is queried directly; elsewhere the answer comes from the presses and
  // releases the application has seen.
  Digits KeypadDigitsDown() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  KeyState();
  Digits tracked_;
};

}  // namespace vistrel::scene
