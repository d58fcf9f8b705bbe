#include "project/project_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "project/line_reader.h"
#include "project/safe_write.h"

namespace vistrel {
namespace {

constexpr std::string_view kMagic = "VISTREL-PROJECT";
constexpr std::string_view kNoValue = "-";
constexpr std::string_view kBoxModel = "box";  // the lens model left to the check box
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Many times what a project holds (a dozen lines), far less than an endless device.
constexpr std::size_t kMaxProjectFileBytes = std::size_t(1) << 20;
// What a line may hold after "RIGHT ", so that every saved project reads back.
constexpr std::size_t kMaxNameLength = LineReader::kMaxLineLength - 6;

std::string Shortest(double v) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return std::string(buffer, end);
}

std::string ColorText(std::uint32_t color) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "$%08X", static_cast<unsigned>(color));
  return buffer;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

template <class T>
bool Parse(std::string_view text, T& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Reads the project line by line; every refusal names its line.
class Reader {
 public:
  // Lines end with LF, CR LF or a bare CR, as in the other files.
  explicit Reader(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
      const std::size_t end = text.find_first_of("\r\n");
      lines_.push_back(text.substr(0, end));
      if (end == std::string_view::npos) break;
      const std::size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
      text.remove_prefix(next);
    }
  }

  Project Read() {
    version_ = Header();
    Project p;
    bool seen_left = false, seen_right = false, seen_distortion = false, seen_model = false,
         seen_sub_pixel = false;
    std::array<bool, 10> seen_point{};
    for (line_ = 2; line_ <= static_cast<int>(lines_.size()); ++line_) {
      const std::string_view line = lines_[static_cast<std::size_t>(line_ - 1)];
      const std::vector<std::string_view> words = Words(line);
      if (words.empty() || words[0].front() == '#') continue;
      const std::string_view key = words[0];
      if (key == "LEFT" || key == "RIGHT") {
        Once(key == "LEFT" ? seen_left : seen_right, key);
        // The name is the rest of the line after the key and one blank, as written: blanks in
        // it are kept. Blanks before the key are not part of it.
        const std::string_view from_key = line.substr(line.find(key));
        const std::string_view name =
            from_key.size() > key.size() ? from_key.substr(key.size() + 1) : "";
        (key == "LEFT" ? p.left_image : p.right_image) = std::string(name);
      } else if (key == "DISTORTION" || key == "SUB-PIXEL") {
        Once(key == "DISTORTION" ? seen_distortion : seen_sub_pixel, key);
        Count(words, 2);
        if (words[1] != "0" && words[1] != "1") Fail(std::string(key) + " is 0 or 1");
        (key == "DISTORTION" ? p.distortion : p.sub_pixel) = words[1] == "1";
      } else if (key == "LENS-MODEL") {
        Once(seen_model, key);
        Count(words, 2);
        p.lens_model = LensModelFromName(words[1]);
        if (!p.lens_model && words[1] != kBoxModel)
          Fail("unknown lens model \"" + std::string(words[1]) + "\"");
      } else if (key == "POINT") {
        if (version_ == 1) {
          ReadPoint(words, p, seen_point);
        } else {
          ReadNamedPoint(words, p, seen_point);
        }
      } else {
        Fail("unknown entry \"" + std::string(key) + "\"");
      }
    }
    const int last = static_cast<int>(lines_.size());
    const std::pair<bool, const char*> required[] = {{seen_left, "LEFT"},
                                                     {seen_right, "RIGHT"},
                                                     {seen_distortion, "DISTORTION"},
                                                     {seen_model, "LENS-MODEL"},
                                                     {seen_sub_pixel, "SUB-PIXEL"}};
    for (const auto& [seen, key] : required)
      if (!seen) throw EProjectFileError(last, std::string("the file ends without ") + key);
    for (int i = 0; i < 10; ++i)
      if (!seen_point[static_cast<std::size_t>(i)])
        throw EProjectFileError(last, "the file ends without POINT " +
                                          (version_ == 1 ? std::to_string(i) : p.table.Name(i)));
    return p;
  }

 private:
  [[noreturn]] void Fail(const std::string& reason) const {
    throw EProjectFileError(line_, reason);
  }

  int Header() {
    const std::vector<std::string_view> words =
        lines_.empty() ? std::vector<std::string_view>() : Words(lines_[0]);
    int version = 0;
    // A version number too large for an int is still a version: a newer one.
    const bool digits = words.size() == 2 && !words[1].empty() &&
                        words[1].find_first_not_of("0123456789") == std::string_view::npos;
    if (words.size() != 2 || words[0] != kMagic || !digits ||
        words[1].find_first_not_of('0') == std::string_view::npos)
      Fail("not a VISTREL project file (the first line is \"VISTREL-PROJECT 1\")");
    if (!Parse(words[1], version) || version > kProjectFormatVersion)
      Fail("written by a newer version of VISTREL (format " + std::string(words[1]) +
           "; this version reads format " + std::to_string(kProjectFormatVersion) + ")");
    return version;
  }

  void Once(bool& seen, std::string_view key) const {
    if (seen) Fail(std::string(key) + " given twice");
    seen = true;
  }

  void Count(const std::vector<std::string_view>& words, std::size_t count) const {
    if (words.size() != count)
      Fail(std::string(words[0]) + " takes " + std::to_string(count - 1) + " value" +
           (count == 2 ? "" : "s") + ", not " + std::to_string(words.size() - 1));
  }

  // Both words "-" (not stored, read as 0) or both numbers (stored).
  template <class T>
  bool Part(const std::vector<std::string_view>& words, std::size_t first, std::size_t count,
            const char* what, std::initializer_list<T*> values) const {
    std::size_t dashes = 0;
    for (std::size_t k = first; k < first + count; ++k) dashes += words[k] == kNoValue ? 1 : 0;
    if (dashes == count) {
      for (T* v : values) *v = 0;
      return false;
    }
    std::size_t k = first;
    for (T* v : values) {
      if (!Parse(words[k], *v) || !std::isfinite(static_cast<double>(*v)))
        Fail(std::string("bad ") + what + " value \"" + std::string(words[k]) + "\"");
      ++k;
    }
    return true;
  }

  void ReadPoint(const std::vector<std::string_view>& words, Project& p,
                 std::array<bool, 10>& seen) const {
    Count(words, 10);
    int i = -1;
    if (!Parse(words[1], i) || i < 0 || i > 9) Fail("the point number is 0 to 9");
    const auto n = static_cast<std::size_t>(i);
    if (seen[n]) Fail("POINT " + std::to_string(i) + " given twice");
    seen[n] = true;
    PointTable& t = p.table;
    StoredParts s;
    std::int32_t xg = 0, yg = 0, xd = 0, yd = 0;
    SpacePoint space;
    s.left = Part<std::int32_t>(words, 2, 2, "left pixel", {&xg, &yg});
    s.right = Part<std::int32_t>(words, 4, 2, "right pixel", {&xd, &yd});
    s.space = Part<double>(words, 6, 3, "space", {&space.X, &space.Y, &space.Z});
    if (i == 0 && s.space) Fail("the observation point has no space coordinates");
    t.SetLeft(i, {static_cast<double>(xg), static_cast<double>(yg)});
    t.SetRight(i, {static_cast<double>(xd), static_cast<double>(yd)});
    t.SetSpace(i, space);
    t.SetStored(i, s);
    std::uint32_t color = 0;
    const std::string_view c = words[9];
    if (c.size() != 9 || c[0] != '$' ||
        std::from_chars(c.data() + 1, c.data() + c.size(), color, 16).ptr != c.data() + c.size())
      Fail("bad colour \"" + std::string(c) + "\" (a \"$\" and eight hexadecimal digits)");
    t.SetColor(i, color);
  }

  // "POINT NAME KIND xg yg xd yd X Y Z COLOUR": O and 1 to 9 are the table's first ten
  // entries wherever they stand; other names follow in the file's order.
  void ReadNamedPoint(const std::vector<std::string_view>& words, Project& p,
                      std::array<bool, 10>& seen) const {
    Count(words, 11);
    const std::string name(words[1]);
    PointKind kind = PointKind::kObject;
    if (words[2] == "control") {
      kind = PointKind::kControl;
    } else if (words[2] == "check") {
      kind = PointKind::kCheck;
    } else if (words[2] != "object") {
      Fail("the kind of a point is object, control or check, not \"" + std::string(words[2]) +
           "\"");
    }
    PointTable& t = p.table;
    int i = t.Find(name);
    if (i >= 0 && i < 10) {
      if (seen[static_cast<std::size_t>(i)]) Fail("POINT " + name + " given twice");
      seen[static_cast<std::size_t>(i)] = true;
    } else if (i >= 0) {
      Fail("POINT " + name + " given twice");
    } else {
      if (const std::string problem = t.NameProblem(name); !problem.empty()) Fail(problem);
      i = t.Add(name, kind);
    }
    try {
      t.SetKind(i, kind);
    } catch (const Exception& e) {
      Fail(e.what());
    }
    StoredParts s;
    ImagePosition left, right;
    SpacePoint space;
    s.left = Part<double>(words, 3, 2, "left pixel", {&left.x, &left.y});
    s.right = Part<double>(words, 5, 2, "right pixel", {&right.x, &right.y});
    s.space = Part<double>(words, 7, 3, "space", {&space.X, &space.Y, &space.Z});
    if (kind == PointKind::kObject && s.space) Fail("an object point has no space coordinates");
    t.SetLeft(i, left);
    t.SetRight(i, right);
    t.SetSpace(i, space);
    t.SetStored(i, s);
    t.SetColor(i, Colour(words[10]));
  }

  std::uint32_t Colour(std::string_view c) const {
    std::uint32_t color = 0;
    if (c.size() != 9 || c[0] != '$' ||
        std::from_chars(c.data() + 1, c.data() + c.size(), color, 16).ptr != c.data() + c.size())
      Fail("bad colour \"" + std::string(c) + "\" (a \"$\" and eight hexadecimal digits)");
    return color;
  }

  std::vector<std::string_view> lines_;
  int line_ = 1;
  int version_ = 1;
};

}  // namespace

namespace {

// Whether version 1 holds the table: its first ten entries as they start, whole pixels.
bool FitsVersion1(const PointTable& t) {
  if (t.Count() != PointTable::kFixedControls + 1) return false;
  for (int i = 0; i < t.Count(); ++i) {
    if (t.Kind(i) != (i == 0 ? PointKind::kObject : PointKind::kControl)) return false;
    for (const ImagePosition q : {t.Left(i), t.Right(i)}) {
      for (const double v : {q.x, q.y}) {
        if (v != std::floor(v) || v < -2147483648.0 || v > 2147483647.0) return false;
      }
    }
  }
  return true;
}

const char* KindName(PointKind kind) {
  switch (kind) {
    case PointKind::kControl:
      return "control";
    case PointKind::kCheck:
      return "check";
    default:
      return "object";
  }
}

}  // namespace

std::string ProjectText(const Project& p) {
  const PointTable& t = p.table;
  const bool v1 = FitsVersion1(t);
  std::ostringstream out;
  out << kMagic << ' ' << (v1 ? 1 : kProjectFormatVersion) << '\n'
      << (v1 ? "# POINT n: left x y, right x y (pixels), space X Y Z, colour; \"-\" for a value "
               "not stored\n"
             : "# POINT name kind: left x y, right x y (pixels), space X Y Z, colour; \"-\" for "
               "a value not stored\n")
      << "LEFT " << p.left_image << '\n'
      << "RIGHT " << p.right_image << '\n'
      << "DISTORTION " << (p.distortion ? 1 : 0) << '\n'
      << "LENS-MODEL " << (p.lens_model ? LensModelName(*p.lens_model) : kBoxModel) << '\n'
      << "SUB-PIXEL " << (p.sub_pixel ? 1 : 0) << '\n';
  for (int n = 0; n < t.Count(); ++n) {
    const StoredParts& s = t.Stored(n);
    const auto pair = [v1](bool stored, ImagePosition q) {
      if (!stored) return std::string("- -");
      return v1 ? std::to_string(static_cast<std::int32_t>(q.x)) + ' ' +
                      std::to_string(static_cast<std::int32_t>(q.y))
                : Shortest(q.x) + ' ' + Shortest(q.y);
    };
    const SpacePoint space = t.Space(n);
    out << "POINT " << (v1 ? std::to_string(n) : t.Name(n) + ' ' + KindName(t.Kind(n))) << ' '
        << pair(s.left, t.Left(n)) << ' ' << pair(s.right, t.Right(n)) << ' '
        << (s.space && t.Kind(n) != PointKind::kObject
                ? Shortest(space.X) + ' ' + Shortest(space.Y) + ' ' + Shortest(space.Z)
                : std::string("- - -"))
        << ' ' << ColorText(t.Color(n)) << '\n';
  }
  return out.str();
}

Project ParseProject(std::string_view text) { return Reader(text).Read(); }

void SaveProject(const std::string& path, const Project& project) {
  for (const std::string* name : {&project.left_image, &project.right_image})
    if (name->find_first_of("\r\n") != std::string::npos)
      throw Exception("a photograph name with a line break cannot be saved");
    else if (name->size() > kMaxNameLength)
      throw Exception("a photograph name longer than " + std::to_string(kMaxNameLength) +
                      " characters cannot be saved");
  ReplaceFile(path, ProjectText(project));
}

Project LoadProject(const std::string& path) {
  // Read line by line within bounds, so that a huge file or an endless device is refused at
  // the line where it goes beyond them instead of filling the memory.
  LineReader reader(path, kMaxProjectFileBytes);
  std::string text;
  try {
    for (std::string line; reader.Next(line);) text.append(line).append("\n");
  } catch (const EReadLimit& e) {
    throw EProjectFileError(reader.line_number(), e.what());
  }
  return ParseProject(text);
}

}  // namespace vistrel
