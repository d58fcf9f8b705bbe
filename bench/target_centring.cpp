// How well does the target finder centre? Renders targets with known sub-pixel centres
// (tools/target_render.h), starts the finder 3 px off the truth and reports, per condition, the
// RMS and worst centre error, the RMS of error / reported sigma (1 when the standard error is
// right), how many were not found, and the processor time of one snap (the thread's own, so
// that other work on a shared machine does not count).
//
//   target_centring [--targets N] [--jpeg-only] [--verbose]

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

// After <cstdio>: the header needs FILE and size_t.
#include <jpeglib.h>

#include "photogrammetry/target_finder.h"
#include "tools/target_render.h"

namespace {

using vistrel::synthetic::TargetDrawing;
using vistrel::synthetic::TargetPicture;
using vistrel::synthetic::TargetShape;

constexpr int kJpegQuality = 90;

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

// Compresses the picture at quality 90 and decodes it again, as a photograph saved by a camera.
TargetPicture ThroughJpeg(const TargetPicture& p) {
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_compress_struct c;
  JpegError error;
  c.err = jpeg_std_error(&error.mgr);
  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = p.width;
  c.image_height = p.height;
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, kJpegQuality, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(&p.grey[static_cast<std::size_t>(c.next_scanline) * p.width]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);

  TargetPicture out;
  jpeg_decompress_struct d;
  d.err = jpeg_std_error(&error.mgr);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, buffer, size);
  jpeg_read_header(&d, TRUE);
  jpeg_start_decompress(&d);
  out.width = d.output_width;
  out.height = d.output_height;
  out.grey.resize(static_cast<std::size_t>(out.width) * out.height);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = &out.grey[static_cast<std::size_t>(d.output_scanline) * out.width];
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  std::free(buffer);
  return out;
}

double ThreadMilliseconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Condition {
  const char* shape;
  double radius, blur, noise;
  bool jpeg;
};

struct Result {
  double rms = 0, worst = 0, z = 0, ms_median = 0, ms_worst = 0;
  int missed = 0, found = 0;
};

Result Run(const Condition& c, int targets, bool verbose) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> unit(0, 1);
  double se = 0, sz = 0;
  Result r;
  std::vector<double> times;
  for (int t = 0; t < targets; ++t) {
    TargetDrawing s;
    const std::string shape = c.shape;
    s.shape = shape == "corner" ? TargetShape::kCorner : TargetShape::kDisc;
    s.dark_on_light = shape == "dark-disc" || (shape == "corner" && t % 2);
    s.tilt_deg = shape == "ellipse60" ? 60 : shape == "corner" ? 30 * (unit(rng) - 0.5) : 0;
    s.orientation_deg = 180 * unit(rng);
    s.radius = c.radius;
    s.blur = c.blur;
    s.noise = c.noise;
    s.cx = 80 + unit(rng);
    s.cy = 80 + unit(rng);
    s.seed = 1000 + t;
    TargetPicture p = vistrel::synthetic::RenderTarget(s);
    if (c.jpeg) p = ThroughJpeg(p);
    const double angle = 2 * M_PI * unit(rng);
    const double sx = s.cx + 3 * std::cos(angle), sy = s.cy + 3 * std::sin(angle);
    const double start = ThreadMilliseconds();
    const auto found = vistrel::FindTargetCentre(
        [&p](std::int64_t x, std::int64_t y) {
          return static_cast<double>(p.at(static_cast<int>(x), static_cast<int>(y)));
        },
        sx, sy);
    times.push_back(ThreadMilliseconds() - start);
    if (!found) {
      ++r.missed;
      if (verbose) std::printf("  missed: centre %.3f %.3f\n", s.cx, s.cy);
      continue;
    }
    const double ex = found->x - s.cx, ey = found->y - s.cy;
    se += ex * ex + ey * ey;
    sz += (ex * ex + ey * ey) / (found->sigma * found->sigma);
    r.worst = std::max(r.worst, std::hypot(ex, ey));
    ++r.found;
    if (verbose) std::printf("  error %+.4f %+.4f sigma %.4f\n", ex, ey, found->sigma);
  }
  if (r.found > 0) {
    r.rms = std::sqrt(se / (2 * r.found));  // per coordinate
    r.z = std::sqrt(sz / (2 * r.found));
  }
  std::sort(times.begin(), times.end());
  r.ms_median = times[times.size() / 2];
  r.ms_worst = times.back();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  int targets = 40;
  bool verbose = false, jpeg_only = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--targets") && i + 1 < argc)
      targets = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--verbose"))
      verbose = true;
    else if (!std::strcmp(argv[i], "--jpeg-only"))
      jpeg_only = true;
    else {
      std::fprintf(stderr, "usage: target_centring [--targets N] [--jpeg-only] [--verbose]\n");
      return 1;
    }
  }
  std::printf("%-10s %6s %5s %6s %-5s  %8s %8s %6s %7s  %6s %6s\n", "shape", "radius", "blur",
              "noise", "file", "rms px", "worst px", "z rms", "missed", "ms", "max ms");
  const char* shapes[] = {"disc", "dark-disc", "ellipse60", "corner"};
  const double radii[] = {3, 5, 10, 20, 40};
  const double blurs[] = {0, 1, 1.5};
  const double noises[] = {0, 0.02};
  for (const bool jpeg : {false, true}) {
    if (jpeg_only && !jpeg) continue;
    for (const char* shape : shapes) {
      for (const double radius : radii) {
        if (!std::strcmp(shape, "corner") && radius != 10) continue;  // a corner has no size
        for (const double blur : blurs) {
          for (const double noise : noises) {
            const Condition c{shape, radius, blur, noise, jpeg};
            const Result r = Run(c, targets, verbose);
            std::printf("%-10s %6g %5g %5g%% %-5s  %8.4f %8.4f %6.2f %3d/%-3d  %6.2f %6.2f\n",
                        shape, !std::strcmp(shape, "corner") ? 0.0 : radius, blur, 100 * noise,
                        jpeg ? "jpeg" : "raw", r.rms, r.worst, r.z, r.missed, targets, r.ms_median,
                        r.ms_worst);
            std::fflush(stdout);
          }
        }
      }
    }
  }
}
