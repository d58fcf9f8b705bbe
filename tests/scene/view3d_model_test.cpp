// The 3D window's geometry model without a display: node building, the selection rules, the
// editing commands and the write-back to the geometry file.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "numeric/exception.h"
#include "tests/support/temp_dir.h"
#include "ui/view3d/geometry_view.h"
#include "ui/view3d/navigation.h"
#include "ui/view3d/overlays.h"
#include "ui/view3d/scene_composition.h"

namespace vistrel::view3d {
namespace {

namespace fs = std::filesystem;

class GeometryViewTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = (dir_ / "geom.txt").string(); }

  void Write(const std::string& text) { testing::WriteBytes(path_, text); }
  std::string Read() const { return testing::ReadBytes(path_); }
  // A confirmation that answers `yes` and records what the scene looked like while asking.
  GeometryView::Confirm Answer(bool yes) {
    return [this, yes](const std::string& question) {
      questions_.push_back(question);
      return yes;
    };
  }

  testing::TempDir temp_;
  fs::path dir_ = temp_.path();
  std::string path_;
  scene::FrameNode frame_;
  GeometryView view_{frame_};
  std::vector<std::string> questions_;
};

const GeomData kThreePointsTwoLines = {
    {{1, 2, 3}, {-4, 5.5, 0}, {100, 0, -7}},
    {{1, 2, 3, -4, 5.5, 0}, {0, 0, 0, 100, 0, -7}},
};

TEST_F(GeometryViewTest, NodesAreNamedAndPlacedFromTheRecords) {
  view_.Build(kThreePointsTwoLines, 0.01, 0.02);
  ASSERT_EQ(view_.points().size(), 3u);
  ASSERT_EQ(view_.lines().size(), 2u);
  for (size_t i = 0; i < 3; ++i) {
    const scene::SphereNode* p = view_.points()[i];
    EXPECT_EQ(p->name, "Point" + std::to_string(i));
    EXPECT_EQ(p->parent(), &frame_);
    EXPECT_FLOAT_EQ(p->radius, 0.02f);
    EXPECT_EQ(p->material.emission, kPointColor);
    EXPECT_EQ(p->slices, 16);
    EXPECT_EQ(p->stacks, 16);
  }
  EXPECT_EQ(view_.points()[1]->position, (scene::Vec3{float(-4 * 0.01), float(5.5 * 0.01), 0}));
  EXPECT_EQ(view_.lines()[0]->name, "Line0");
  EXPECT_EQ(view_.lines()[1]->name, "Line1");
  EXPECT_FALSE(view_.lines()[1]->markers);
  EXPECT_EQ(view_.lines()[1]->vertices,
            (std::vector<scene::Vec3>{{0, 0, 0}, {float(100 * 0.01), 0, float(-7 * 0.01)}}));
  EXPECT_EQ(view_.lines()[1]->line_color, (scene::Color{1, 1, 1, 1}));

  // A created line takes the next index and copies the selected positions.
  view_.RightClick(EditMode::kSelectPoint, view_.points()[2], Answer(true));
  view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
  scene::PolylineNode* created = view_.CreateLine();
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->name, "Line2");
  EXPECT_EQ(created->vertices[0], view_.points()[2]->position);
  EXPECT_EQ(created->vertices[1], view_.points()[0]->position);
  EXPECT_EQ(frame_.children().back().get(), created);
}

TEST_F(GeometryViewTest, SelectionStateTable) {
  view_.Build({{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {}}, 1, 0.01);
  scene::SphereNode* p = view_.points()[0];
  scene::SphereNode* q = view_.points()[1];
  scene::SphereNode* r = view_.points()[2];
  struct Row {
    scene::SphereNode *start1, *start2, *click, *end1, *end2;
  };
  const Row rows[] = {
      {nullptr, nullptr, p, p, nullptr},
      {p, nullptr, p, nullptr, nullptr},
      {p, nullptr, q, p, q},
      {nullptr, q, p, p, q},
      {nullptr, q, q, nullptr, nullptr},
      {p, q, p, nullptr, q},
      {p, q, q, p, nullptr},
      {p, q, r, p, q},
  };
  for (const Row& row : rows) {
    view_.Clear();
    view_.Build({{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {}}, 1, 0.01);
    auto map = [&](scene::SphereNode* n) -> scene::SphereNode* {
      return n == p   ? view_.points()[0]
             : n == q ? view_.points()[1]
             : n == r ? view_.points()[2]
                      : nullptr;
    };
    // Reach the start state by clicks: a first slot emptied after filling both.
    if (row.start1 == nullptr && row.start2 != nullptr) {
      view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
      view_.RightClick(EditMode::kSelectPoint, map(row.start2), Answer(true));
      view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
    } else {
      if (row.start1) view_.RightClick(EditMode::kSelectPoint, map(row.start1), Answer(true));
      if (row.start2) view_.RightClick(EditMode::kSelectPoint, map(row.start2), Answer(true));
    }
    ASSERT_EQ(view_.selected1(), map(row.start1));
    ASSERT_EQ(view_.selected2(), map(row.start2));
    view_.RightClick(EditMode::kSelectPoint, map(row.click), Answer(true));
    EXPECT_EQ(view_.selected1(), map(row.end1));
    EXPECT_EQ(view_.selected2(), map(row.end2));
    for (scene::SphereNode* n : view_.points()) {
      const bool selected = n == view_.selected1() || n == view_.selected2();
      EXPECT_EQ(n->material.emission, selected ? kSelectedColor : kPointColor) << n->name;
    }
  }
  EXPECT_TRUE(questions_.empty()) << "selecting never asks";
}

TEST_F(GeometryViewTest, ClicksOnOtherNodesDoNothing) {
  view_.Build(kThreePointsTwoLines, 1, 0.01);
  auto* plane = frame_.AddChild<scene::ShadowPlaneNode>();
  plane->name = "GLShadowPlane1";
  for (EditMode mode : {EditMode::kSelectPoint, EditMode::kDeletePoint, EditMode::kDeleteLine}) {
    view_.RightClick(mode, nullptr, Answer(true));
    view_.RightClick(mode, plane, Answer(true));
  }
  // A line in the point modes and a point in the line mode are ignored too.
  view_.RightClick(EditMode::kSelectPoint, view_.lines()[0], Answer(true));
  view_.RightClick(EditMode::kDeletePoint, view_.lines()[0], Answer(true));
  view_.RightClick(EditMode::kDeleteLine, view_.points()[0], Answer(true));
  EXPECT_TRUE(questions_.empty());
  EXPECT_EQ(view_.selected1(), nullptr);
  for (auto* n : view_.points()) EXPECT_TRUE(n->visible);
  for (auto* n : view_.lines()) EXPECT_TRUE(n->visible);
}

TEST_F(GeometryViewTest, DeletePointAsksInBlueAndNoKeepsItRedAndSelected) {
  view_.Build(kThreePointsTwoLines, 1, 0.01);
  scene::SphereNode* p = view_.points()[1];
  view_.RightClick(EditMode::kSelectPoint, p, Answer(true));
  scene::Color while_asked;
  view_.RightClick(EditMode::kDeletePoint, p, [&](const std::string& q) {
    EXPECT_EQ(q, "Do you want to remove the selected point ?");
    while_asked = p->material.emission;
    return false;
  });
  EXPECT_EQ(while_asked, kSelectedColor);
  EXPECT_EQ(p->material.emission, kPointColor);
  EXPECT_TRUE(p->visible);
  EXPECT_EQ(view_.selected1(), p);
}

TEST_F(GeometryViewTest, DeleteLineShowsCyanWhileAskedAndWhiteAfterNo) {
  view_.Build(kThreePointsTwoLines, 1, 0.01);
  scene::PolylineNode* l = view_.lines()[1];
  scene::Color while_asked;
  view_.RightClick(EditMode::kDeleteLine, l, [&](const std::string& q) {
    EXPECT_EQ(q, "Do you want to remove the selected line ?");
    while_asked = l->line_color;
    return false;
  });
  EXPECT_EQ(while_asked, (scene::Color{0, 1, 1, 1}));
  EXPECT_EQ(l->line_color, (scene::Color{1, 1, 1, 1}));
  EXPECT_TRUE(l->visible);
  view_.RightClick(EditMode::kDeleteLine, l, Answer(true));
  EXPECT_FALSE(l->visible);
}

TEST_F(GeometryViewTest, DeletingAPointKeepsItsLinesAndADeletedSelectedPointStillEndsALine) {
  Write("p 1  2  3  \r\np 4  5  6  \r\nl 1  2  3  4  5  6  \r\n");
  view_.Open(path_, 1, 0.01);
  view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
  view_.RightClick(EditMode::kSelectPoint, view_.points()[1], Answer(true));
  view_.RightClick(EditMode::kDeletePoint, view_.points()[0], Answer(true));
  EXPECT_EQ(view_.selected1(), view_.points()[0]);
  ASSERT_NE(view_.CreateLine(), nullptr);
  EXPECT_EQ(view_.Close(path_), SaveOutcome::kSaved);
  EXPECT_EQ(Read(), "p 4  5  6  \r\nl 1  2  3  4  5  6  \r\nl 1  2  3  4  5  6  \r\n");
  EXPECT_TRUE(frame_.children().empty());
  EXPECT_EQ(view_.selected1(), nullptr);
  EXPECT_EQ(view_.selected2(), nullptr);
}

TEST_F(GeometryViewTest, CreateLineTwiceGivesTwoIdenticalRecordsAndNeedsTwoPoints) {
  Write("p 1  2  3  \r\np 4  5  6  \r\n");
  view_.Open(path_, 1, 0.01);
  EXPECT_EQ(view_.CreateLine(), nullptr);
  view_.RightClick(EditMode::kSelectPoint, view_.points()[1], Answer(true));
  EXPECT_EQ(view_.CreateLine(), nullptr);
  EXPECT_TRUE(view_.lines().empty());
  view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
  EXPECT_EQ(view_.CreateLine()->name, "Line0");
  EXPECT_EQ(view_.CreateLine()->name, "Line1");
  view_.Close(path_);
  // Point 1 was selected first, so it is the first end of both lines.
  EXPECT_EQ(Read(),
            "p 1  2  3  \r\np 4  5  6  \r\nl 4  5  6  1  2  3  \r\nl 4  5  6  1  2  3  \r\n");
}

// The values of the records, points first, one row per record.
std::vector<std::vector<double>> Values(const GeomData& data) {
  std::vector<std::vector<double>> rows;
  for (const GeomPoint& p : data.points) rows.push_back({p.x, p.y, p.z});
  for (const GeomLine& l : data.lines) rows.push_back({l.x1, l.y1, l.z1, l.x2, l.y2, l.z2});
  return rows;
}

// The scene draws in single precision, but the file only ever gets the values it was read with.
TEST_F(GeometryViewTest, GeometryRoundTripTable) {
  // Undo rows: every edit taken back leaves the file as it was; a redo after an undo counts.
  enum class Edit {
    kNone,
    kDeleteLastPoint,
    kDeleteSecondLine,
    kJoinFirstTwo,
    kDeleteBothUndoBoth,
    kJoinUndoRedoThenDeleteUndo,
  };
  struct Case {
    const char* what;
    double scale;
    std::string in;
    Edit edit;
    SaveOutcome outcome;
    std::string out;  // empty: the input, byte for byte
  };
  const Case cases[] = {
      {"append layout, viewed", 0.01, "p  -45   -30   40   \r\np  0.5   12.5   -3   \r\n",
       Edit::kNone, SaveOutcome::kUnchanged, ""},
      {"last line without break", 0.01, "l 0 0 0 1 1 1\r\np 4 5 6", Edit::kNone,
       SaveOutcome::kUnchanged, ""},
      {"SCALE 1e39, viewed", 1e39, "p 1  2  3  \r\n", Edit::kNone, SaveOutcome::kUnchanged, ""},
      {"after a deletion", 0.01, "p  -45   -30   40   \r\np 0.5 12.5 -3\r\np 9 9 9\r\n",
       Edit::kDeleteLastPoint, SaveOutcome::kSaved, "p -45  -30  40  \r\np 0.5  12.5  -3  \r\n"},
      {"beyond single range", 0.01, "p 1E41 0 -2.5E-40\r\np 1 1 1\r\n", Edit::kDeleteLastPoint,
       SaveOutcome::kSaved, "p 1E41  0  -2.5E-40  \r\n"},
      {"SCALE 1e39, new line", 1e39, "p 1 2 3\r\np 4 5.25 6\r\n", Edit::kJoinFirstTwo,
       SaveOutcome::kSaved, "p 1  2  3  \r\np 4  5.25  6  \r\nl 1  2  3  4  5.25  6  \r\n"},
      {"new line from values as read", 0.01, "p 0.1 0.2 0.3\r\np 1E20 -7 0.0001\r\n",
       Edit::kJoinFirstTwo, SaveOutcome::kSaved,
       "p 0.1  0.2  0.3  \r\np 1E20  -7  0.0001  \r\nl 0.1  0.2  0.3  1E20  -7  0.0001  \r\n"},
      {"zero SCALE, after a deletion", 0, "p 1  2  3  \r\np 4  5  6  \r\n", Edit::kDeleteLastPoint,
       SaveOutcome::kSaved, "p 1  2  3  \r\n"},
      {"a deleted line: exactly its record", 1,
       "l 1  1  1  2  2  2  \r\np 7  8  9  \r\nl 3  3  3  4  4  4  \r\nl 5  5  5  6  6  6  \r\n",
       Edit::kDeleteSecondLine, SaveOutcome::kSaved,
       "p 7  8  9  \r\nl 1  1  1  2  2  2  \r\nl 5  5  5  6  6  6  \r\n"},
      {"more than 15 digits", 1, "p 0.30000000000000004 1.7976931348623157E308 3\r\np 0 0 0\r\n",
       Edit::kDeleteLastPoint, SaveOutcome::kSaved,
       "p 0.30000000000000004  1.7976931348623157E308  3  \r\n"},
      {"two deletions, both undone", 1, "l 1 1 1 2 2 2\r\np 7 8 9\r\nl 3 3 3 4 4 4\r\n",
       Edit::kDeleteBothUndoBoth, SaveOutcome::kUnchanged, ""},
      {"a line created, undone, redone; a deletion undone", 1, "p 1 2 3\r\np 4 5 6\r\n",
       Edit::kJoinUndoRedoThenDeleteUndo, SaveOutcome::kSaved,
       "p 1  2  3  \r\np 4  5  6  \r\nl 1  2  3  4  5  6  \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write(c.in);
    GeomData expected = ReadGeometry(path_);
    view_.Open(path_, c.scale, 0.01);
    switch (c.edit) {
      case Edit::kNone:
        break;
      case Edit::kDeleteLastPoint:
        view_.RightClick(EditMode::kDeletePoint, view_.points().back(), Answer(true));
        expected.points.pop_back();
        break;
      case Edit::kDeleteSecondLine:
        view_.RightClick(EditMode::kDeleteLine, view_.lines()[1], Answer(true));
        expected.lines.erase(expected.lines.begin() + 1);
        break;
      case Edit::kJoinFirstTwo: {
        view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
        view_.RightClick(EditMode::kSelectPoint, view_.points()[1], Answer(true));
        ASSERT_NE(view_.CreateLine(), nullptr);
        const GeomPoint a = expected.points[0], b = expected.points[1];
        expected.lines.push_back({a.x, a.y, a.z, b.x, b.y, b.z});
        break;
      }
      case Edit::kDeleteBothUndoBoth:
        view_.RightClick(EditMode::kDeletePoint, view_.points()[0], Answer(true));
        view_.RightClick(EditMode::kDeleteLine, view_.lines()[1], Answer(true));
        EXPECT_TRUE(view_.Undo());
        EXPECT_TRUE(view_.lines()[1]->visible);
        EXPECT_EQ(view_.lines()[1]->line_color.r, 1) << "white again, not the asking cyan";
        EXPECT_TRUE(view_.Undo());
        EXPECT_TRUE(view_.points()[0]->visible);
        EXPECT_EQ(view_.points()[0]->material.emission, kPointColor);
        EXPECT_FALSE(view_.Undo());
        break;
      case Edit::kJoinUndoRedoThenDeleteUndo: {
        view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
        view_.RightClick(EditMode::kSelectPoint, view_.points()[1], Answer(true));
        scene::PolylineNode* made = view_.CreateLine();
        ASSERT_NE(made, nullptr);
        EXPECT_TRUE(view_.Undo());
        EXPECT_FALSE(made->visible);
        scene::PolylineNode* again = nullptr;
        EXPECT_TRUE(view_.Redo(&again));
        EXPECT_EQ(again, made);
        EXPECT_FALSE(view_.Redo());
        view_.RightClick(EditMode::kDeletePoint, view_.points()[1], Answer(true));
        EXPECT_TRUE(view_.Undo());
        // The selected point comes back blue, as it was before its deletion was asked.
        EXPECT_EQ(view_.points()[1]->material.emission, kSelectedColor);
        const GeomPoint a = expected.points[0], b = expected.points[1];
        expected.lines.push_back({a.x, a.y, a.z, b.x, b.y, b.z});
        break;
      }
    }
    EXPECT_EQ(view_.Close(path_), c.outcome);
    EXPECT_EQ(Read(), c.out.empty() ? c.in : c.out);
    // Whatever the layout, every value reads back as the very double it was read as.
    EXPECT_EQ(Values(ReadGeometry(path_)), Values(expected));
  }

  // A value that is not finite is never written: the file stays as it was.
  const std::string text = "p 1  2  3  \r\n";
  Write(text);
  const double inf = std::numeric_limits<double>::infinity();
  view_.Build({{{inf, 0, 0}, {1, 2, 3}}, {}}, 0.01, 0.01);
  view_.RightClick(EditMode::kDeletePoint, view_.points()[1], Answer(true));
  EXPECT_EQ(view_.Close(path_), SaveOutcome::kNotSavedNonFinite);
  EXPECT_EQ(Read(), text);
  EXPECT_TRUE(frame_.children().empty());
}

TEST_F(GeometryViewTest, MissingFileOpensEmptyAndClosesToAnEmptyFile) {
  view_.Open(path_, 0.01, 0.01);
  EXPECT_TRUE(view_.points().empty());
  EXPECT_EQ(view_.Close(path_), SaveOutcome::kUnchanged);
  EXPECT_TRUE(fs::exists(path_));
  EXPECT_EQ(fs::file_size(path_), 0u);
}

TEST_F(GeometryViewTest, FailedReadShowsNothingAndLeavesTheFileUntouched) {
  const std::string text = "p 1  2  3  \r\np 1,5  2  3  \r\nl 0 0 0 1 1 1\r\n";
  Write(text);
  EXPECT_THROW(view_.Open(path_, 0.01, 0.01), Exception);
  EXPECT_TRUE(view_.read_failed());
  EXPECT_TRUE(view_.points().empty());
  EXPECT_TRUE(frame_.children().empty());
  EXPECT_EQ(view_.Close(path_), SaveOutcome::kNotSavedAfterFailedRead);
  EXPECT_EQ(Read(), text);
  // The next showing starts afresh.
  Write("p 1  2  3  \r\n");
  view_.Open(path_, 1, 0.01);
  EXPECT_EQ(view_.Close(path_), SaveOutcome::kUnchanged);
}

TEST_F(GeometryViewTest, FailedRewriteKeepsTheSceneForARetry) {
  Write("p 1  2  3  \r\n");
  view_.Open(path_, 1, 0.01);
  view_.RightClick(EditMode::kDeletePoint, view_.points()[0], Answer(true));
  const std::string bad = (dir_ / "no_such_folder" / "geom.txt").string();
  EXPECT_THROW(view_.Close(bad), Exception);
  EXPECT_EQ(view_.points().size(), 1u);
  EXPECT_EQ(frame_.children().size(), 1u);
  EXPECT_EQ(view_.Close(path_), SaveOutcome::kSaved);
  EXPECT_EQ(Read(), "");
}

// What the user measures: file coordinates and the distance in file units, as read, whatever
// the scale the scene draws with.
TEST_F(GeometryViewTest, MeasureReadoutTable) {
  struct Case {
    GeomPoint a, b;
    double scale;
    std::string two;  // after selecting a, then b
  };
  const Case cases[] = {
      {{0, 0, 0},
       {3, 4, 12},
       0.01,
       "Point 0: X 0  Y 0  Z 0    Point 1: X 3  Y 4  Z 12    distance 13  dX 3  dY 4  dZ 12"},
      {{0.1, 0.2, 0.3},
       {0.4, 0.6, 0.3},
       0.01,
       "Point 0: X 0.1  Y 0.2  Z 0.3    Point 1: X 0.4  Y 0.6  Z 0.3    "
       "distance 0.5  dX 0.3  dY 0.4  dZ 0"},
      {{1e20, 0, -5},
       {-1e20, 0, -5},
       1e39,
       "Point 0: X 1E20  Y 0  Z -5    Point 1: X -1E20  Y 0  Z -5    "
       "distance 2E20  dX -2E20  dY 0  dZ 0"},
      {{123456.789012345, 1, 1},
       {123456.789012346, 1, 1},
       0.01,
       "Point 0: X 123456.789012345  Y 1  Z 1    Point 1: X 123456.789012346  Y 1  Z 1    "
       "distance 1E-9  dX 1E-9  dY 0  dZ 0"},
  };
  for (const Case& c : cases) {
    view_.Clear();
    view_.Build({{c.a, c.b}, {}}, c.scale, 0.01);
    EXPECT_EQ(view_.SelectionReadout(), "");
    view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
    const std::string one = view_.SelectionReadout();
    EXPECT_EQ(one, c.two.substr(0, c.two.find("    ")));
    view_.RightClick(EditMode::kSelectPoint, view_.points()[1], Answer(true));
    EXPECT_EQ(view_.SelectionReadout(), c.two);
    // Unselecting the first leaves the second alone on the line.
    view_.RightClick(EditMode::kSelectPoint, view_.points()[0], Answer(true));
    EXPECT_EQ(view_.SelectionReadout().rfind("Point 1: ", 0), 0u);
  }
}

TEST(View3dNavigation, ModeKeypadAndWheel) {
  EXPECT_EQ(ModeFromButtons(true, false), EditMode::kSelectPoint);
  EXPECT_EQ(ModeFromButtons(true, true), EditMode::kSelectPoint);
  EXPECT_EQ(ModeFromButtons(false, true), EditMode::kDeleteLine);
  EXPECT_EQ(ModeFromButtons(false, false), EditMode::kDeletePoint);

  struct KeyCase {
    std::string keys;
    scene::Vec3 move;
  };
  const KeyCase keys[] = {
      {"6", {0.1f, 0, 0}},  {"4", {-0.1f, 0, 0}},        {"8", {0, 0, 0.1f}},
      {"2", {0, 0, -0.1f}}, {"9", {0, 0.1f, 0}},         {"3", {0, -0.1f, 0}},
      {"46", {0, 0, 0}},    {"689", {0.1f, 0.1f, 0.1f}}, {"0157", {0, 0, 0}},
  };
  for (const KeyCase& k : keys) {
    std::bitset<10> down;
    for (char c : k.keys) down.set(c - '0');
    EXPECT_EQ(KeypadMove(down), k.move) << k.keys;
  }
  EXPECT_DOUBLE_EQ(WheelRatio(120), 1.1);
  EXPECT_NEAR(WheelRatio(360), 1.331, 1e-12);
  EXPECT_NEAR(WheelRatio(360) * WheelRatio(-360), 1.0, 1e-12);
  EXPECT_NEAR(WheelRatio(60), std::sqrt(1.1), 1e-12);  // fine-grained wheels
}

// The window's fixed scene, read without a display: drawing order, links between nodes, and the
// data frame's turn of file axes into screen axes.
TEST(SceneComposition, NodesInDrawingOrderAndFileAxesToScreenAxes) {
  scene::FrameNode root;
  const SceneNodes n = ComposeScene(root, nullptr);
  std::vector<std::string> order;
  for (const auto& child : root.children()) order.push_back(child->name);
  EXPECT_EQ(order, (std::vector<std::string>{"GLDummyCube1", "GLHUDText1", "GLHUDText2",
                                             "GLHUDText4", "GLHUDText6", "GridText", "Labels",
                                             "GLDummyCube2", "GLCamera1"}));
  std::vector<std::string> data_frame;
  for (const auto& child : n.GLDummyCube1->children()) data_frame.push_back(child->name);
  // The ground first: what the data casts falls on it.
  EXPECT_EQ(data_frame, (std::vector<std::string>{"GLShadowPlane1", "Grid", "DropLines", "Batch"}));
  EXPECT_EQ(n.GLHUDText3->parent(), n.GLHUDText2);
  EXPECT_EQ(n.GLHUDText5->parent(), n.GLHUDText2);
  EXPECT_EQ(n.GLCamera1->target, n.GLDummyCube2);
  EXPECT_EQ(n.GLLightSource1->parent(), n.GLCamera1);
  EXPECT_EQ(n.GLShadowPlane1->caster, n.GLDummyCube1);
  EXPECT_EQ(n.GLShadowPlane1->light, n.GLLightSource1);
  EXPECT_FALSE(n.GLShadowPlane1->material.texture_enabled);
  EXPECT_EQ(n.GLCamera1->position, (scene::Vec3{0, 1, 1}));
  // File (x, y, z) is drawn at scene (x, z, -y): file Z up.
  const scene::Vec3 p = scene::TransformPoint({1, 2, 3}, n.GLDummyCube1->AbsoluteMatrix());
  EXPECT_NEAR(p.x, 1, 1e-6);
  EXPECT_NEAR(p.y, 3, 1e-6);
  EXPECT_NEAR(p.z, -2, 1e-6);
}

TEST(Overlays, DropLinesGridCaptionAndMeasureLine) {
  scene::FrameNode frame;
  auto* a = frame.AddChild<scene::SphereNode>();
  a->position = {1, 2, 3};
  auto* hidden = frame.AddChild<scene::SphereNode>();
  hidden->position = {4, 5, 6};
  hidden->visible = false;
  EXPECT_EQ(DropLineEnds({a, hidden}), (std::vector<scene::Vec3>{{1, 2, 3}, {1, 2, 0}}));

  // Data 0.5 scene units across at scale 0.01 (50 file units): a 10-unit grid around the centre.
  const GroundGrid grid = MakeGroundGrid(true, {0.37f, -0.12f, 0}, 0.5, 0.01);
  EXPECT_EQ(grid.step_file, 10);
  ASSERT_FALSE(grid.ends.empty());
  for (const scene::Vec3& e : grid.ends) EXPECT_EQ(e.z, 0);
  EXPECT_NEAR(grid.ends[0].x, std::round(0.37 / 0.1) * 0.1 - 6 * 0.1, 1e-6);
  EXPECT_TRUE(MakeGroundGrid(true, {}, 0.5, 0).ends.empty()) << "no grid without a scale";
  EXPECT_EQ(GridCaption(grid.step_file, {}), "Grid : 10 file units");
  EXPECT_EQ(GridCaption(10, {500000, 5400000, 0}),
            "Grid : 10 file units   Origin of the view : X 500000  Y 5400000  Z 0");
  EXPECT_EQ(GridCaption(0, {500000, 0, 0}), "");
  EXPECT_EQ(PointLabel(2, 7, {1.5, -2, 1e20}), "7 (1.5, -2, 1E20)");
  EXPECT_EQ(MeasureLine(""), "Select points with the right button to measure them");
}

// The local origin: a shift only where single precision would not do, by a round value.
TEST(LocalOrigin, ShiftsOnlyFarFromTheFileOrigin) {
  const struct {
    const char* what;
    GeomData data;
    GeomPoint origin;
  } cases[] = {
      {"near the origin", {{{-45, -30, 40}, {45, 30, 0}}, {}}, {0, 0, 0}},
      {"a national grid",
       {{{500012.5, 5400030, 310}, {499990, 5399975, 290}}, {}},
       {500000, 5400000, 0}},
      {"a line alone", {{}, {{1e6 + 3, 0, 0, 1e6 + 7, 0, 0}}}, {1e6 + 10, 0, 0}},
      {"one point far out", {{{1e21, 2e21, 0}}, {}}, {1e21, 2e21, 0}},
      {"spread over the whole double range",
       {{{-1.7976931348623157e308, 0, 0}, {1.7976931348623157e308, 0, 0}}, {}},
       {0, 0, 0}},
  };
  for (const auto& c : cases) {
    const GeomPoint o = LocalOrigin(c.data, 1);
    EXPECT_EQ(o.x, c.origin.x) << c.what;
    EXPECT_EQ(o.y, c.origin.y) << c.what;
    EXPECT_EQ(o.z, c.origin.z) << c.what;
  }
  // The view draws the records less the origin: the far points land where near ones would.
  scene::FrameNode frame;
  GeometryView view(frame);
  view.Build({{{500012.5, 5400030, 310}, {499990, 5399975, 290}}, {}}, 0.01, 0.01);
  EXPECT_EQ(view.points()[0]->position, (scene::Vec3{0.125f, 0.3f, 3.1f}));
  EXPECT_EQ(view.RecordOf(view.points()[0])->x, 500012.5) << "the records keep their values";
}

}  // namespace
}  // namespace vistrel::view3d
