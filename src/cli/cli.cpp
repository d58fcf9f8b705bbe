#include "cli/cli.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "numeric/exception.h"
#include "numeric/text_format.h"
#include "photogrammetry/quality.h"
#include "photogrammetry/target_detection.h"
#include "photogrammetry/target_finder.h"
#include "project/coordinate_list.h"
#include "project/export.h"
#include "project/geom_file.h"
#include "project/io_error.h"
#include "project/language.h"
#include "project/line_reader.h"
#include "project/point_list.h"
#include "project/project_file.h"
#include "project/reference_file.h"
#include "project/safe_write.h"
#include "workflow/control_search.h"
#include "workflow/session.h"
#ifdef VISTREL_CLI_READS_PHOTOGRAPHS
#include "pictures/grey_picture.h"
#endif

namespace vistrel {

namespace {

constexpr const char* kHelp =
    R"(vistrel-cli: stereo photogrammetry from the command line

Usage:
  vistrel-cli report    [--reference FILE]
  vistrel-cli calibrate [--reference FILE | --project FILE | --control FILE] --size WxH
                        [--distortion[=MODEL]] [--single-start] [--quality]
                        [--check FILE] [--leave-one-out]
  vistrel-cli measure   [--reference FILE | --project FILE | --control FILE] --size WxH
                        [--distortion[=MODEL]] [--single-start]
                        [--precision] [--check FILE] [--leave-one-out]
                        [--append-geom FILE] OBSERVATIONS
  vistrel-cli export    --format csv|ply|obj|dxf GEOM OUT
  vistrel-cli make-reference --pixels FILE --coordinates FILE [--reference FILE]
  vistrel-cli snap      PHOTO X Y
  vistrel-cli find-targets PHOTO
  vistrel-cli find-control LEFT RIGHT --coordinates FILE [--project OUT]
                        [--distortion[=MODEL]] [--single-start]

Commands:
  report     Reads the control points and prints the results report with the current
             (all-zero) camera parameters.
  calibrate  Reads the control points, calibrates the stereo pair and prints the report,
             one line per report line. With --quality it then prints the calibration's
             quality: one line per control point, largest residual first
             ("point K left EX EY LEN right EX EY LEN ok|flagged", pixels; flagged when a
             residual exceeds 3 sigma0), "rms R", "sigma0 S", "fitted N", then one line per
             fitted parameter ("parameter NAME VALUE STDERR", or "not available" in place of
             STDERR when the joint fit failed), one line per start of the joint fit
             ("start NAME objective F iterations N", then "failed", "abandoned",
             "budget B" (stopped on its budget of B iterations) or "same-as OTHER" when
             so) and "winner NAME" ("winner none" when all failed);
             with --distortion, "distortion F F without S15 with S20 significant" (or
             "not-significant"): an F test of the five distortion coefficients at 95 %;
             with --distortion=MODEL, "lens-model NAME REASON": the model used and why.
             Control points that coincide, lie on one line or in one plane, or share a
             pixel, a sigma0 above 5 px and a focal length that is not positive each give a
             "warning: ..." line on standard error (calibrate and measure); the exit status
             is not changed by them.
             With check points (--check, or check points of the project file) the report
             is followed by one line per check point, "check NAME dX DX dY DY dZ DZ"
             (measured minus known), then "check rms X RX Y RY Z RZ 3D R3 max M n N" and
             "relative accuracy 1:K" (K the diagonal of the control points' bounding box over
             the 3D RMS); with --leave-one-out by "control-held-out NAME dX DX dY DY dZ DZ"
             for each control point left out in turn, the pair recalibrated from the others
             and the point measured, then "control-held-out rms ...". A point that cannot be
             measured has "NAME failed: REASON" and no share in the figures.
  measure    Calibrates once, then measures every line "xg yg xd yd" of OBSERVATIONS
             ("-" for standard input; real numbers for sub-pixel positions) and prints
             "Object point n° k       x : X ..." for each (after the check-point lines).
             Blank lines and lines starting with "#" are skipped; lines end with LF, CR LF or
             CR, and a line longer than 4096 characters stops the run (exit 2). With
             --precision each point's line is followed by "precision sx SX sy SY sz SZ": the
             standard errors of X, Y, Z from the calibration's covariance and clicks as
             scattered as the control points' residuals (sigma0), or "precision not
             available".
  export     Reads the geometry file GEOM (which must exist) and writes its points and lines,
             in file units with 15 significant digits, to OUT (never GEOM itself, under any
             name): csv (header "kind,index,x,y,z,x2,y2,z2"), ply
             (ASCII, vertices and edges), obj ("v" and "l") or dxf (R12, POINT entities on layer
             POINTS, LINE entities on layer LINES).
  snap       Finds the centre of the target (a disc, an ellipse, a ring or a chequered
             corner) under the pixel position X Y of the photograph PHOTO (within 10 pixels
             of its centre, or inside a larger target) and prints "x y sigma": the centre and
             its standard error, in pixels, the centre of pixel (i, j) being (i, j). Prints
             "none" when there is no target there, "two X1 Y1 X2 Y2" when the position lies
             between two targets (the nearer first), and exits with 3 in both cases.
  find-targets
             Finds every target of the photograph PHOTO and prints one line per target,
             "x y sigma score" (score: 1 for a perfectly point-symmetric pattern, 0 at the
             finder's limit), from the top of the photograph down.

  find-control
             Finds the control points of the surveyor's list (--coordinates, as
             make-reference reads it, six rows or more) among the targets of both
             photographs without a click, and prints one line per row, "point NAME xg yg xd
             yd" or "point NAME missing", then "found F of N". With six or more found in both
             photographs it calibrates the pair from them (exit 0, or 3 when the calibration
             fails); too few found is exit 3; a photograph whose targets fit another
             assignment about as well (a symmetric layout) is exit 4 and names nothing.
             --project OUT writes a project with the found points and both photographs.

  make-reference
             Writes the control-point file from nine lines "xg yg xd yd" (--pixels, same
             rules as OBSERVATIONS) and a surveyor's list of nine points (--coordinates:
             "name X Y Z" or "X Y Z", fields separated by commas, semicolons, tabs or blanks,
             an optional header, "." as decimal separator), in point order.

Options:
  --reference FILE    control-point file (default: reference.txt in the current directory)
  --control FILE      (calibrate, measure) the control points from lines "xg yg xd yd X Y Z"
                      and perhaps a name as an eighth field: any blanks, LF, CR LF or CR line
                      ends, real numbers with "." (sub-pixel positions), six lines or more;
                      lines without a name fill control points 1 to 9 first
  --check FILE        (calibrate, measure) check points in the same layout: measured after
                      the calibration and compared with their known coordinates, never used
                      to calibrate (named C1, C2, ... by their rank when a line has no name)
  --leave-one-out     (calibrate, measure) leave each control point out in turn
  --project FILE      (calibrate, measure) take the control points from this project file
                      (*.vistrel, saved by the window) instead of the control-point file; the
                      lens model is still the one the options give
  --size WxH          display size of the left photograph (its own size at 100 % zoom)
  --distortion        also fit the five lens-distortion coefficients
  --distortion=MODEL  the lens model: none (no distortion), radial (a1 only), full (the five
                      coefficients, as --distortion) or auto (the simplest of the three whose
                      added coefficients test significant, by nested F tests at 95 %); one
                      lens option at most, in either spelling
  --precision         (measure) print each point's standard errors after it
  --single-start      start the joint fit only from the Euler angles most consistent with the
                      DLT (the classic method), to compare with results of earlier versions
  --append-geom FILE  append every measured point to this geometry file
  --quality           (calibrate) print residuals and standard errors after the report
  --format NAME       (export) csv, ply, obj or dxf
  --pixels FILE       (make-reference) the control points' pixels
  --coordinates FILE  (make-reference, find-control) the control points' space coordinates
  --help              show this text

No command writes over a file it reads: an output that is one of the command's inputs under
any name (a link, "./x") is refused before anything is written (exit 2). "-" is standard input
for OBSERVATIONS only, never an output file.

Numbers are printed with "." as decimal separator. Exit status: 0 success, 1 usage error,
2 file or input error, 3 computation failure (a joint-fit failure still prints the report; a
failed measurement prints its message, uses up its number and the run goes on), 4 ambiguous
(find-control).
)";

struct Options {
  std::string command;
  std::string reference = kReferenceFileName;
  std::string project;  // --project: the points from a project file instead
  std::string control;  // --control: the points from a list of pixels and coordinates
  std::string check;    // --check: check points from such a list
  bool leave_one_out = false;
  std::optional<std::pair<int, int>> size;
  bool distortion = false;
  std::optional<LensModel> lens_model;  // --distortion=MODEL
  bool precision = false;
  // snap: photograph, x, y; find-targets: photograph; find-control: left and right photograph
  std::vector<std::string> snap;
  bool single_start = false;
  bool quality = false;
  std::string append_geom;
  std::string observations;
  std::optional<ExportFormat> format;
  std::string geom, out;            // export: input geometry file and output file
  std::string pixels, coordinates;  // make-reference
  bool help = false;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::pair<int, int> ParseSize(const std::string& text) {
  const auto x = text.find_first_of("xX");
  std::int32_t w = 0, h = 0;
  if (x == std::string::npos || !TryStrToInt(text.substr(0, x), w) ||
      !TryStrToInt(text.substr(x + 1), h) || w < 1 || h < 1) {
    throw UsageError("invalid --size '" + text + "': expected WxH with positive whole numbers");
  }
  return {w, h};
}

Options ParseArgs(const std::vector<std::string>& args) {
  Options o;
  std::set<std::string> seen;  // an option given twice would silently override the first
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // snap's position may be negative: "-3" is then a number, not an option.
    const bool snap_position = o.command == "snap" && !o.snap.empty() && o.snap.size() < 3;
    // --distortion and --distortion=MODEL are one option in two spellings.
    const std::string key = a.rfind("--distortion=", 0) == 0 ? "--distortion" : a;
    if (!snap_position && a.size() > 1 && a[0] == '-' && !seen.insert(key).second) {
      throw UsageError("option " + key + " given twice");
    }
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError("option " + a + " needs a value");
      return args[++i];
    };
    if (snap_position) {
      o.snap.push_back(a);
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--reference") {
      o.reference = value();
    } else if (a == "--project") {
      o.project = value();
    } else if (a == "--control") {
      o.control = value();
    } else if (a == "--check") {
      o.check = value();
    } else if (a == "--leave-one-out") {
      o.leave_one_out = true;
    } else if (a == "--size") {
      o.size = ParseSize(value());
    } else if (a == "--distortion") {
      o.distortion = true;
    } else if (a.rfind("--distortion=", 0) == 0) {
      o.lens_model = LensModelFromName(a.substr(std::string("--distortion=").size()));
      if (!o.lens_model) throw UsageError("unknown " + a + ": none, radial, full or auto");
      o.distortion = *o.lens_model != LensModel::kNone;
    } else if (a == "--precision") {
      o.precision = true;
    } else if (a == "--single-start") {
      o.single_start = true;
    } else if (a == "--quality") {
      o.quality = true;
    } else if (a == "--append-geom") {
      o.append_geom = value();
    } else if (a == "--pixels") {
      o.pixels = value();
    } else if (a == "--coordinates") {
      o.coordinates = value();
    } else if (a == "--format") {
      const std::string& name = value();
      o.format = ExportFormatFromName(name);
      if (!o.format) throw UsageError("unknown --format '" + name + "': csv, ply, obj or dxf");
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      throw UsageError("unknown option " + a);
    } else if (o.command.empty()) {
      o.command = a;
    } else if (o.command == "measure" && o.observations.empty()) {
      o.observations = a;
    } else if (o.command == "export" && (o.geom.empty() || o.out.empty())) {
      (o.geom.empty() ? o.geom : o.out) = a;
    } else if (((o.command == "snap" || o.command == "find-targets") && o.snap.empty()) ||
               (o.command == "find-control" && o.snap.size() < 2)) {
      o.snap.push_back(a);
    } else {
      throw UsageError("unexpected argument '" + a + "'");
    }
  }
  if (o.help) return o;
  // Standard output is not a file that can be appended to or replaced safely.
  if (o.append_geom == "-" || o.out == "-" ||
      (o.command == "make-reference" && o.reference == "-")) {
    throw UsageError("\"-\" is not an output file here: give a file name");
  }
  if (o.command == "find-control") {
    if (o.snap.size() != 2) throw UsageError("find-control needs a left and a right photograph");
    if (o.coordinates.empty()) throw UsageError("find-control needs --coordinates FILE");
    if (o.size || o.quality || o.precision || !o.append_geom.empty() || !o.pixels.empty() ||
        o.format || o.reference != kReferenceFileName) {
      throw UsageError("find-control takes only --coordinates, --project and the lens options");
    }
    return o;
  }
  if (!o.project.empty() && o.command != "calibrate" && o.command != "measure") {
    throw UsageError("--project belongs to calibrate, measure and find-control");
  }
  if (!o.project.empty() && o.reference != kReferenceFileName) {
    throw UsageError("--project and --reference: the control points come from one of them");
  }
  if (!o.control.empty() && (!o.project.empty() || o.reference != kReferenceFileName)) {
    throw UsageError("--control with --project or --reference: the control points come from one");
  }
  if ((!o.control.empty() || !o.check.empty() || o.leave_one_out) && o.command != "calibrate" &&
      o.command != "measure") {
    throw UsageError("--control, --check and --leave-one-out belong to calibrate and measure");
  }
  if (o.command == "export") {
    if (!o.format) throw UsageError("export needs --format csv|ply|obj|dxf");
    if (o.out.empty()) throw UsageError("export needs a geometry file and an output file");
    if (o.size || o.distortion || o.lens_model || o.quality || o.precision ||
        !o.append_geom.empty() || o.reference != kReferenceFileName) {
      throw UsageError("export takes only --format");
    }
    return o;
  }
  if (o.format) throw UsageError("--format belongs to export");
  if (o.command == "make-reference") {
    if (o.pixels.empty() || o.coordinates.empty()) {
      throw UsageError("make-reference needs --pixels FILE and --coordinates FILE");
    }
    if (o.size || o.distortion || o.lens_model || o.single_start || o.quality || o.precision ||
        !o.append_geom.empty()) {
      throw UsageError("make-reference takes only --pixels, --coordinates and --reference");
    }
    return o;
  }
  if (!o.pixels.empty() || !o.coordinates.empty()) {
    throw UsageError("--pixels and --coordinates belong to make-reference");
  }
  if (o.command == "snap" || o.command == "find-targets") {
    if (o.command == "snap" && o.snap.size() != 3) {
      throw UsageError("snap needs a photograph and a position X Y");
    }
    if (o.command == "find-targets" && o.snap.size() != 1) {
      throw UsageError("find-targets needs a photograph");
    }
    if (o.size || o.distortion || o.lens_model || o.single_start || o.quality || o.precision ||
        !o.append_geom.empty() || o.reference != kReferenceFileName) {
      throw UsageError(o.command + " takes no option");
    }
    return o;
  }
  if (o.command != "report" && o.command != "calibrate" && o.command != "measure") {
    throw UsageError(o.command.empty() ? "no command given"
                                       : "unknown command '" + o.command + "'");
  }
  if (o.command != "report" && !o.size) throw UsageError(o.command + " needs --size WxH");
  if (o.command == "measure" && o.observations.empty()) {
    throw UsageError("measure needs an OBSERVATIONS file (or - for standard input)");
  }
  if (o.command != "measure" && !o.append_geom.empty()) {
    throw UsageError("--append-geom belongs to measure");
  }
  if (o.quality && o.command != "calibrate") throw UsageError("--quality belongs to calibrate");
  if (o.precision && o.command != "measure") throw UsageError("--precision belongs to measure");
  if (o.command == "report" && (o.size || o.distortion || o.lens_model || o.single_start)) {
    throw UsageError("report takes only --reference");
  }
  return o;
}

void PrintLines(std::ostream& out, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) out << line << '\n';
}

// Stores "xg yg xd yd" as the pixels of point `index`; anything else is an error.
// Whole numbers go through the store commands as typed; other real numbers are sub-pixel
// positions, stored as they are.
void StorePixels(const std::string& line, Session& session, int index = PointTable::kObservation) {
  std::istringstream words(line);
  std::string w[5];
  int count = 0;
  while (count < 5 && words >> w[count]) ++count;
  if (count != 4) {
    throw EConvertError("expected four numbers \"xg yg xd yd\", got '" + line + "'");
  }
  for (const bool left : {true, false}) {
    const std::string& x = w[left ? 0 : 2];
    const std::string& y = w[left ? 1 : 3];
    std::int32_t whole = 0;
    double rx = 0, ry = 0;
    if ((!TryStrToInt(x, whole) || !TryStrToInt(y, whole)) && TryStrToDouble(x, rx) &&
        TryStrToDouble(y, ry) && std::isfinite(rx) && std::isfinite(ry)) {
      session.StoreImage(index, left, {rx, ry});
    } else {
      left ? session.StoreLeft(index, x, y) : session.StoreRight(index, x, y);
    }
  }
}

int Measure(const Options& o, Session& session, std::istream& in, std::ostream& out,
            std::ostream& err, int status) {
  std::unique_ptr<LineReader> source;
  try {
    source = o.observations == "-" ? std::make_unique<LineReader>(in)
                                   : std::make_unique<LineReader>(o.observations);
  } catch (const EInOutError& e) {
    err << o.observations << ": " << e.what() << '\n';
    return kExitInput;
  }
  int input_errors = 0;
  std::string line;
  for (;;) {
    try {
      if (!source->Next(line)) break;
    } catch (const ELineTooLong& e) {
      err << o.observations << ":" << source->line_number() << ": " << e.what() << '\n';
      return kExitInput;
    } catch (const EInOutError& e) {
      err << o.observations << ": " << e.what() << '\n';
      return kExitInput;
    }
    const int line_number = source->line_number();
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    try {
      StorePixels(line, session);
    } catch (const Exception& e) {
      err << o.observations << ":" << line_number << ": " << e.what() << '\n';
      ++input_errors;
      continue;
    }
    try {
      const MeasuredPoint p = session.Measure();
      out << MeasurementLine(p, '.') << '\n';
      if (o.precision) {
        const std::optional<PointPrecision> precision = session.Precision(p);
        out << (precision ? PrecisionLine(*precision, '.') : "precision not available") << '\n';
      }
      if (!o.append_geom.empty()) Session::AppendPoint(o.append_geom, MeasuredTexts(p, '.'), '.');
    } catch (const EInOutError& e) {
      err << o.append_geom << ": " << e.what() << '\n';
      return kExitInput;
    } catch (const Exception& e) {
      err << "Object point n° " << session.ObjectPointCount() << ": " << e.what() << '\n';
      status = kExitComputation;
    }
  }
  return input_errors > 0 ? kExitInput : status;
}

// The lines of a pixels or observations file that hold data: not blank, not a "#" comment.
// Nine lines are wanted: a file beyond a megabyte is not one of them.
std::vector<std::pair<int, std::string>> DataLines(const std::string& path) {
  constexpr std::size_t kMaxPixelFileBytes = std::size_t(1) << 20;
  std::vector<std::pair<int, std::string>> lines;
  LineReader reader(path, kMaxPixelFileBytes);
  try {
    for (std::string line; reader.Next(line);) {
      const auto first = line.find_first_not_of(" \t");
      if (first != std::string::npos && line[first] != '#') {
        lines.emplace_back(reader.line_number(), line);
      }
    }
  } catch (const EReadLimit& e) {
    throw EReadLimit("line " + std::to_string(reader.line_number()) + ": " + e.what());
  }
  return lines;
}

int MakeReference(const Options& o, std::ostream& out, std::ostream& err) {
  Session session;
  std::string file = o.pixels;
  try {
    const auto lines = DataLines(o.pixels);
    if (lines.size() != static_cast<std::size_t>(kReferenceFileRows)) {
      throw EConvertError("expected nine lines \"xg yg xd yd\", got " +
                          std::to_string(lines.size()));
    }
    for (int i = 1; i <= kReferenceFileRows; ++i) {
      file = o.pixels + ":" + std::to_string(lines[i - 1].first);
      StorePixels(lines[i - 1].second, session, i);
    }
    file = o.coordinates;
    const CoordinateList list = ReadCoordinateListFile(o.coordinates, kReferenceFileRows);
    if (list.rows.size() != static_cast<std::size_t>(kReferenceFileRows)) {
      const std::size_t n = list.rows.size();
      throw ECoordinateList(std::to_string(n) + (n == 1 ? " row" : " rows") +
                            " read, expected nine");
    }
    session.StoreSpaceRows(list.rows);
    file = o.reference;
    session.SaveControlPoints(o.reference);
  } catch (const std::exception& e) {
    err << file << ": " << e.what() << '\n';
    return kExitInput;
  }
  out << "9 control points written to " << o.reference << '\n';
  return kExitOk;
}

int Export(const Options& o, std::ostream& out, std::ostream& err) {
  GeomData data;
  try {
    data = ReadExportSource(o.geom);
  } catch (const std::exception& e) {
    err << o.geom << ": " << e.what() << '\n';
    return kExitInput;
  }
  if (const std::string problem = ExportOutputProblem(o.geom, o.out); !problem.empty()) {
    err << o.out << ": " << problem << '\n';
    return kExitInput;
  }
  try {
    WriteExport(o.out, data, *o.format);
  } catch (const Exception& e) {
    err << o.out << ": " << e.what() << '\n';
    return kExitInput;
  }
  out << data.points.size() << " points, " << data.lines.size() << " lines\n";
  return kExitOk;
}

// Four decimals: a ten-thousandth of a pixel, well below what any centre is good to.
std::string Pixels(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", v);
  return text;
}

#ifdef VISTREL_CLI_READS_PHOTOGRAPHS
// The photograph's grey levels, its decoder's warning said once; empty after saying why not.
std::optional<GreyPicture> ReadPhotograph(const std::string& path, std::ostream& err) {
  try {
    GreyPicture picture = LoadGreyPicture(path);
    if (!picture.warning.empty()) err << path << ": " << picture.warning << '\n';
    return picture;
  } catch (const Exception& e) {
    err << path << ": " << e.what() << '\n';
    return {};
  }
}
#endif

int Snap(const Options& o, std::ostream& out, std::ostream& err) {
  double x = 0, y = 0;
  if (!TryStrToDouble(o.snap[1], x) || !TryStrToDouble(o.snap[2], y) || !std::isfinite(x) ||
      !std::isfinite(y)) {
    err << "vistrel-cli: invalid position '" << o.snap[1] << " " << o.snap[2]
        << "': expected two numbers\n";
    return kExitUsage;
  }
#ifdef VISTREL_CLI_READS_PHOTOGRAPHS
  const std::optional<GreyPicture> picture = ReadPhotograph(o.snap[0], err);
  if (!picture) return kExitInput;
  const SnapResult snap =
      SnapToTarget([&picture](std::int64_t i, std::int64_t j) { return picture->at(i, j); }, x, y);
  switch (snap.kind) {
    case SnapResult::Kind::kNone:
      out << "none\n";
      return kExitComputation;
    case SnapResult::Kind::kTwo:
      out << "two " << Pixels(snap.target.x) << ' ' << Pixels(snap.target.y) << ' '
          << Pixels(snap.other.x) << ' ' << Pixels(snap.other.y) << '\n';
      return kExitComputation;
    case SnapResult::Kind::kTarget:
      break;
  }
  out << Pixels(snap.target.x) << ' ' << Pixels(snap.target.y) << ' ' << Pixels(snap.target.sigma)
      << '\n';
  return kExitOk;
#else
  (void)out;
  err << o.snap[0]
      << ": this build reads no photographs (it was built without the picture library)\n";
  return kExitInput;
#endif
}

int FindTargets(const Options& o, std::ostream& out, std::ostream& err) {
#ifdef VISTREL_CLI_READS_PHOTOGRAPHS
  const std::optional<GreyPicture> picture = ReadPhotograph(o.snap[0], err);
  if (!picture) return kExitInput;
  char score[32];
  for (const TargetCentre& t : DetectTargets(picture->view())) {
    std::snprintf(score, sizeof score, "%.3f", t.score);
    out << Pixels(t.x) << ' ' << Pixels(t.y) << ' ' << Pixels(t.sigma) << ' ' << score << '\n';
  }
  return kExitOk;
#else
  (void)out;
  err << o.snap[0]
      << ": this build reads no photographs (it was built without the picture library)\n";
  return kExitInput;
#endif
}

// Control points found among both photographs' targets, then the pair calibrated from them.
int FindControl(const Options& o, std::ostream& out, std::ostream& err) {
#ifdef VISTREL_CLI_READS_PHOTOGRAPHS
  // As many rows as a survey brings; the list reader's bounds keep the file small.
  constexpr std::size_t kMaxListedControlPoints = 1000;
  CoordinateList list;
  try {
    list = ReadCoordinateListFile(o.coordinates, kMaxListedControlPoints);
    if (list.rows.size() < static_cast<std::size_t>(kMinimumControlPoints)) {
      throw ECoordinateList(std::to_string(list.rows.size()) +
                            " rows read, expected six control points or more");
    }
  } catch (const std::exception& e) {
    err << o.coordinates << ": " << e.what() << '\n';
    return kExitInput;
  }
  std::array<DetectedPhotograph, 2> photos;
  for (std::size_t k = 0; k < 2; ++k) {
    const std::optional<GreyPicture> picture = ReadPhotograph(o.snap[k], err);
    if (!picture) return kExitInput;
    for (const TargetCentre& t : DetectTargets(picture->view()))
      photos[k].targets.push_back({t.x, t.y});
    photos[k].width = static_cast<int>(picture->width);
    photos[k].height = static_cast<int>(picture->height);
  }
  ControlSearch search;
  try {
    search = SearchControlTargets(list.rows, photos[0], photos[1]);
  } catch (const Exception& e) {
    err << o.coordinates << ": " << e.what() << '\n';
    return kExitInput;
  }
  for (const FoundControlPoint& p : search.points) {
    out << "point " << p.name;
    if (p.Found()) {
      out << ' ' << Pixels(p.left->x) << ' ' << Pixels(p.left->y) << ' ' << Pixels(p.right->x)
          << ' ' << Pixels(p.right->y) << '\n';
    } else {
      out << " missing\n";
    }
  }
  out << "found " << search.found << " of " << search.points.size() << '\n';
  for (const std::string& problem : search.problems) err << problem << '\n';
  if (search.ambiguous) return kExitAmbiguous;

  Session session;
  PointTable& table = session.Table();
  try {
    if (list.numbered) {
      // Rows numbered 1 to 9 are those control points, later rows points of their names; the
      // ones not found take no part.
      StoreFoundControlPoints(session, list.rows, search);
    } else {
      AddListedPoints(table, FoundAsListed(search), PointKind::kControl, "");
    }
  } catch (const Exception& e) {
    err << o.coordinates << ": " << e.what() << '\n';
    return kExitInput;
  }
  if (!o.project.empty()) {
    Project project;
    project.left_image = std::filesystem::absolute(o.snap[0]).string();
    project.right_image = std::filesystem::absolute(o.snap[1]).string();
    project.table = session.Table();
    project.distortion = o.distortion;
    project.lens_model = o.lens_model;
    try {
      SaveProject(o.project, project);
    } catch (const Exception& e) {
      err << o.project << ": " << e.what() << '\n';
      return kExitInput;
    }
  }
  if (search.found < kMinimumControlPoints) {
    err << "too few control points found to calibrate (six are needed)\n";
    return kExitComputation;
  }
  try {
    CalibrateOptions options;
    options.distortion = o.distortion;
    options.lens_model = o.lens_model;
    options.single_start = o.single_start;
    const CalibrationOutcome outcome =
        session.Calibrate(photos[0].width, photos[0].height, options);
    for (const ControlPointWarning& w : session.Warnings()) err << "warning: " << w.text << '\n';
    if (outcome.joint_fit_failed) {
      err << kJointFitFailedMessage << " (" << outcome.failure_reason << ")\n";
      return kExitComputation;
    }
  } catch (const Exception& e) {
    err << e.what() << '\n';
    return kExitComputation;
  }
  if (session.Quality()) {
    char line[64];
    std::snprintf(line, sizeof line, "calibrated: rms %.3f px\n",
                  static_cast<double>(session.Quality()->rms));
    out << line;
  }
  return kExitOk;
#else
  (void)out;
  err << o.snap[0]
      << ": this build reads no photographs (it was built without the picture library)\n";
  return kExitInput;
#endif
}

// The file the command writes, if any, and the files it reads: the one must be none of the
// others.
std::optional<NamedFile> OutputOf(const Options& o) {
  if (o.command == "export") return NamedFile{"OUT", o.out};
  if (o.command == "find-control") {
    return o.project.empty() ? std::nullopt : std::optional(NamedFile{"--project", o.project});
  }
  if (o.command == "make-reference") return NamedFile{"--reference", o.reference};
  if (o.command == "measure" && !o.append_geom.empty()) {
    return NamedFile{"--append-geom", o.append_geom};
  }
  return std::nullopt;
}

std::vector<NamedFile> InputsOf(const Options& o) {
  if (o.command == "export") return {{"GEOM", o.geom}};
  if (o.command == "find-control") {
    return {{"--coordinates", o.coordinates}, {"LEFT", o.snap[0]}, {"RIGHT", o.snap[1]}};
  }
  if (o.command == "make-reference") {
    return {{"--pixels", o.pixels}, {"--coordinates", o.coordinates}};
  }
  std::vector<NamedFile> inputs;
  if (!o.control.empty()) {
    inputs.push_back({"--control", o.control});
  } else if (o.project.empty()) {
    inputs.push_back({"--reference", o.reference});
  } else {
    inputs.push_back({"--project", o.project});
  }
  if (!o.check.empty()) inputs.push_back({"--check", o.check});
  if (o.command == "measure") inputs.push_back({"OBSERVATIONS", o.observations});
  return inputs;
}

int Run(const Options& o, std::istream& in, std::ostream& out, std::ostream& err) {
  if (o.command == "export") return Export(o, out, err);
  if (o.command == "make-reference") return MakeReference(o, out, err);
  if (o.command == "snap") return Snap(o, out, err);
  if (o.command == "find-targets") return FindTargets(o, out, err);
  if (o.command == "find-control") return FindControl(o, out, err);

  Session session;
  std::string source = !o.control.empty() ? o.control : o.project.empty() ? o.reference : o.project;
  try {
    if (!o.control.empty()) {
      const std::vector<ListedPoint> points = ReadPointList(o.control);
      if (points.size() < static_cast<std::size_t>(kMinimumControlPoints)) {
        throw EPointList("expected six control points or more, got " +
                         std::to_string(points.size()));
      }
      AddListedPoints(session.Table(), points, PointKind::kControl, "");
    } else if (o.project.empty()) {
      session.LoadControlPoints(o.reference);
    } else {
      session.OpenProject(o.project);
    }
    if (!o.check.empty()) {
      source = o.check;
      AddListedPoints(session.Table(), ReadPointList(o.check), PointKind::kCheck, "C");
    }
  } catch (const std::exception& e) {
    err << source << ": " << e.what() << '\n';
    return kExitInput;
  }

  if (o.command == "report") {
    PrintLines(out, session.Report('.'));
    return kExitOk;
  }

  int status = kExitOk;
  // Doubts about the control points or the result: told, the exit status left as it is.
  const auto warn = [&err, &session] {
    for (const ControlPointWarning& w : session.Warnings()) err << "warning: " << w.text << '\n';
  };
  try {
    CalibrateOptions options;
    options.distortion = o.distortion;
    options.lens_model = o.lens_model;
    options.single_start = o.single_start;
    const CalibrationOutcome outcome = session.Calibrate(o.size->first, o.size->second, options);
    warn();
    if (outcome.joint_fit_failed) {
      err << kJointFitFailedMessage << " (" << outcome.failure_reason << ")\n";
      status = kExitComputation;
    }
  } catch (const EIncomplete& e) {
    // A control point the file does not give in full is a fault of the input, not of the
    // computation, which has not started.
    err << (!o.control.empty()  ? o.control
            : o.project.empty() ? o.reference
                                : o.project)
        << ": " << e.what() << '\n';
    return kExitInput;
  } catch (const Exception& e) {
    warn();
    err << e.what() << '\n';
    return kExitComputation;
  }

  if (o.command == "calibrate") {
    PrintLines(out, session.Report('.'));
    if (o.quality) {
      if (!session.Quality()) {
        err << session.QualityProblem() << '\n';
        return kExitComputation;
      }
      PrintLines(out, QualityLines(*session.Quality(), '.'));
    }
  }
  PrintLines(out,
             AccuracyLines(session.CheckErrors(), "check", ControlDiagonal(session.Table()), '.'));
  if (o.leave_one_out) {
    try {
      CalibrateOptions options;
      options.distortion = o.distortion;
      options.lens_model = o.lens_model;
      options.single_start = o.single_start;
      PrintLines(out, AccuracyLines(session.LeaveOneOut(o.size->first, o.size->second, options),
                                    "control-held-out", std::nullopt, '.'));
    } catch (const Exception& e) {
      err << e.what() << '\n';
      return kExitComputation;
    }
  }
  if (o.command == "calibrate") return status;
  return Measure(o, session, in, out, err, status);
}

}  // namespace

namespace {

// The command line parsed and run, its messages to `err` in the program's own words.
int RunParsed(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
              std::ostream& err) {
  Options o;
  try {
    o = ParseArgs(args);
  } catch (const UsageError& e) {
    err << "vistrel-cli: " << e.what() << "\nTry 'vistrel-cli --help'.\n";
    return kExitUsage;
  } catch (const Exception& e) {  // a conversion error inside --size
    err << "vistrel-cli: " << e.what() << '\n';
    return kExitUsage;
  }
  if (o.help) {
    out << kHelp;
    return kExitOk;
  }
  // The last line of defence: whatever escapes a command is told, never an abort. Reading and
  // writing failures are caught where they happen, so what reaches here is a computation's.
  try {
    if (const std::optional<NamedFile> output = OutputOf(o)) {
      RefuseOutputOverInput(*output, InputsOf(o));
    }
    return Run(o, in, out, err);
  } catch (const EOutputIsInput& e) {
    err << "vistrel-cli: " << e.what() << '\n';
    return kExitInput;
  } catch (const std::bad_alloc&) {
    err << "vistrel-cli: out of memory\n";
    return kExitComputation;
  } catch (const std::exception& e) {
    err << "vistrel-cli: " << e.what() << '\n';
    return kExitComputation;
  }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  // Messages in the system's language; what goes to `out` (reports, measured points) never
  // changes with it.
  std::ostringstream messages;
  const int status = RunParsed(args, in, out, messages);
  err << MessageIn(messages.str(), SystemLanguage());
  return status;
}

}  // namespace vistrel
