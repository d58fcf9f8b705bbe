#include "scene/tick_source.h"

#include <cmath>

namespace vistrel::scene {

FixedStepTicker::FixedStepTicker(std::chrono::nanoseconds step, Clock clock, Callback callback)
    : step_ns_(step.count()),
      clock_(std::move(clock)),
      callback_(std::move(callback)),
      last_tick_ns_(clock_()) {}

int FixedStepTicker::Poll() {
  const std::int64_t now = clock_();
  const double delta = double(step_ns_) * 1e-9;
  int ticks = 0;
  while (now - last_tick_ns_ >= step_ns_) {
    last_tick_ns_ += step_ns_;
    ++ticks;
    callback_(delta);
  }
  return ticks;
}

void FixedStepTicker::Skip() { last_tick_ns_ = clock_(); }

std::int64_t SteadyClockNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TickSource::TickSource(double step_seconds, FixedStepTicker::Callback callback, QObject* parent)
    : QObject(parent),
      ticker_(std::chrono::nanoseconds(std::llround(step_seconds * 1e9)), SteadyClockNanoseconds,
              std::move(callback)) {
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (paused_) {
      ticker_.Skip();
    } else {
      ticker_.Poll();
    }
  });
  timer_.start(kPollMilliseconds);
}

}  // namespace vistrel::scene
