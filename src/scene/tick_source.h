#pragma once

// Fixed-step tick source. The stepping rule is plain code with an injected clock; a short
// Qt timer polls it so that an idle program does not keep a processor busy.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>

namespace vistrel::scene {

// Delivers whole steps of elapsed time: at each Poll, while at least one step lies between the
// last tick time and now, the last tick time advances by one step and the callback receives the
// step length in seconds. After a pause of 0.5 s with a 0.05 s step, one Poll gives 10 ticks.
class FixedStepTicker {
 public:
  using Clock = std::function<std::int64_t()>;  // nanoseconds, monotonic
  using Callback = std::function<void(double delta_seconds)>;

  // Starts counting from the clock's current time.
  FixedStepTicker(std::chrono::nanoseconds step, Clock clock, Callback callback);

  // Returns the number of ticks delivered.
  int Poll();
  // Drops the time elapsed since the last tick: a pause is not caught up.
  void Skip();

 private:
  std::int64_t step_ns_;
  Clock clock_;
  Callback callback_;
  std::int64_t last_tick_ns_;
};

// The monotonic high-resolution clock, in nanoseconds.
std::int64_t SteadyClockNanoseconds();

// Runs a FixedStepTicker from the Qt event loop for the life of the object, whether or not any
// window is shown (modal loops included). The poll interval is shorter than the step so that
// ticks come at the step rate; catch-up keeps the count right when polls are late.
class TickSource : public QObject {
 public:
  static constexpr int kPollMilliseconds = 10;

  TickSource(double step_seconds, FixedStepTicker::Callback callback, QObject* parent = nullptr);

  // While paused no tick is delivered, and none is delivered for the paused time afterwards.
  void SetPaused(bool paused) { paused_ = paused; }
  bool Paused() const { return paused_; }

 private:
  FixedStepTicker ticker_;
  QTimer timer_;
  bool paused_ = false;
};

}  // namespace vistrel::scene
