#include "ui/view3d/navigation.h"

#include <cmath>

namespace vistrel::view3d {

scene::Vec3 KeypadMove(const std::bitset<10>& down) {
  scene::Vec3 move;
  // Tested in this order, each held key adding its own step.
  if (down[6]) move.x += kKeypadStep;
  if (down[4]) move.x -= kKeypadStep;
  if (down[8]) move.z += kKeypadStep;
  if (down[2]) move.z -= kKeypadStep;
  if (down[9]) move.y += kKeypadStep;
  if (down[3]) move.y -= kKeypadStep;
  return move;
}

double WheelRatio(int delta) { return std::pow(kWheelFactor, double(delta) / kWheelDeltaPerNotch); }

}  // namespace vistrel::view3d
