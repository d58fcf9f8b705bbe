#include "numeric/exception.h"

#include <cstdio>

namespace vistrel {

std::string FormatMessage(const char* pattern, int value) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

}  // namespace vistrel
