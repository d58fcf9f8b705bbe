#pragma once

#include <stdexcept>
#include <string>

namespace vistrel {

// The general exception class: every failure of the system carries only its message, and the
// user interface shows that message in the error box.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Floating-point faults, raised where a computation checks the floating-point environment.
class EMathError : public Exception {
 public:
  using Exception::Exception;
};
class EZeroDivide : public EMathError {
 public:
  EZeroDivide() : EMathError("Division de flottant par zéro") {}
};
class EInvalidOp : public EMathError {
 public:
  EInvalidOp() : EMathError("Opération en virgule flottante incorrecte") {}
};
class EOverflow : public EMathError {
 public:
  EOverflow() : EMathError("Débordement de virgule flottante") {}
};

// printf-style formatting of one signed 32-bit integer into a message.
std::string FormatMessage(const char* pattern, int value);

}  // namespace vistrel
