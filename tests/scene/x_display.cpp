// Kept apart from the Qt code: Xlib's headers define macros (Button1, None, ...) that clash
// with names of the windows.

#ifdef VISTREL_HAVE_X11
#include <X11/Xlib.h>
#include <unistd.h>
#endif

namespace vistrel::testing_gl {

void WaitForDisplay(const char* display) {
#ifdef VISTREL_HAVE_X11
  constexpr int kAttempts = 20;
  constexpr useconds_t kPause = 250'000;  // microseconds: five seconds in all
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (Display* d = XOpenDisplay(display)) {
      XCloseDisplay(d);
      return;
    }
    usleep(kPause);
  }
#else
  (void)display;
#endif
}

}  // namespace vistrel::testing_gl
