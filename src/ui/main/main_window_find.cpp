// The main window's automatic marking: the surveyor's control points found among both
// photographs' targets without a click, and the match of a Shift-clicked target found on the
// other photograph's epipolar curve once the pair is calibrated.

#include <QCoreApplication>
#include <QProgressDialog>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "numeric/exception.h"
#include "photogrammetry/epipolar.h"
#include "photogrammetry/target_detection.h"
#include "pictures/grey_picture.h"
#include "ui/main/main_window.h"
#include "ui/main/messages.h"
#include "ui/main/qt_utils.h"
#include "workflow/control_search.h"

namespace vistrel {
namespace {

std::vector<ImagePosition> Detect(const GreyPicture& grey) {
  std::vector<ImagePosition> targets;
  for (const TargetCentre& t : DetectTargets(grey.view())) targets.push_back({t.x, t.y});
  return targets;
}

// A search running beside the window. It owns all it reads and writes, so that a search the user
// cancelled may finish on its own after the window has let it go.
struct FindJob {
  std::vector<CoordinateRow> rows;
  std::array<GreyPicture, 2> grey;
  std::array<DetectedPhotograph, 2> photos;
  ControlSearch search;
  std::string error;
  std::atomic<bool> done = false;

  void Run() {
    try {
      for (std::size_t k = 0; k < 2; ++k) {
        photos[k].targets = Detect(grey[k]);
        photos[k].width = static_cast<int>(grey[k].width);
        photos[k].height = static_cast<int>(grey[k].height);
        grey[k] = {};
      }
      search = SearchControlTargets(rows, photos[0], photos[1]);
    } catch (const std::exception& e) {
      error = e.what();
    }
    done = true;
  }
};

QString Side(bool left) {
  return left ? QCoreApplication::translate("vistrel::TForm1", "left photograph")
              : QCoreApplication::translate("vistrel::TForm1", "right photograph");
}

}  // namespace

const std::vector<ImagePosition>& TForm1::DetectedTargets(const PaneView& pane) {
  Detected& d = detected_[pane.IsLeft() ? 0 : 1];
  const qint64 key = pane.Picture().cacheKey();
  if (d.key != key || !d.valid) {
    d.targets = Detect(ToGreyPicture(pane.Picture()));
    d.key = key;
    d.valid = true;
  }
  return d.targets;
}

void TForm1::FindControlTargetsClick() {
  if (!imported_rows_) {
    ImportCoordinatesClick();
    if (!imported_rows_) return;
  }
  if (imported_rows_->size() < static_cast<std::size_t>(kMinimumControlPoints)) {
    ShowMessageBox(tr("The coordinate list holds %1 control points: six or more are needed to "
                      "find them")
                       .arg(imported_rows_->size()));
    return;
  }
  auto job = std::make_shared<FindJob>();
  job->rows = *imported_rows_;
  job->grey = {ToGreyPicture(left_.Picture()), ToGreyPicture(right_.Picture())};
  std::thread worker([job] { job->Run(); });
  {
    QProgressDialog progress(tr("Finding the control targets in both photographs..."), tr("Cancel"),
                             0, 0, this);
    progress.setObjectName("FindProgress");
    progress.setWindowTitle(tr("Find control targets"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.show();
    while (!job->done && !progress.wasCanceled()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!job->done) {
      // The search cannot be interrupted; it ends by itself on the data it owns.
      worker.detach();
      Note(tr("Search for the control targets cancelled: nothing stored"));
      return;
    }
  }
  worker.join();
  if (!job->error.empty()) throw Exception(job->error);
  for (std::size_t k = 0; k < 2; ++k) {
    PaneView& pane = k == 0 ? left_ : right_;
    detected_[k] = {pane.Picture().cacheKey(), true, job->photos[k].targets};
  }
  const ControlSearch& search = job->search;
  if (search.ambiguous || search.found < kMinimumControlPoints) {
    QStringList why;
    for (std::size_t k = 0; k < 2; ++k) {
      if (search.ambiguous_in[k]) {
        why << tr("%1: ambiguous, another assignment of its targets fits about as well")
                   .arg(Side(k == 0));
      } else if (search.too_few_in[k]) {
        why << tr("%1: fewer than seven control points among its %2 targets")
                   .arg(Side(k == 0))
                   .arg(job->photos[k].targets.size());
      }
    }
    if (why.isEmpty()) {
      why << tr("only %1 control points found in both photographs, six are needed")
                 .arg(search.found);
    }
    ShowMessageBox(tr("The control targets could not be found:\n%1\nNothing stored: mark them "
                      "with Shift-clicks.")
                       .arg(why.join("\n")));
    Note(tr("Control targets not found: nothing stored"));
    return;
  }
  // The proposal is drawn on both photographs while the user decides.
  QStringList found, missing;
  for (const FoundControlPoint& p : search.points) {
    const QString name = ToQt(p.name);
    if (!p.Found()) {
      missing << name;
      continue;
    }
    proposal_[0].push_back({p.left->x, p.left->y, kCaptureColor, name});
    proposal_[1].push_back({p.right->x, p.right->y, kCaptureColor, name});
    found << tr("%1: left %2, right %3")
                 .arg(name, ToQt(PixelText(*p.left)), ToQt(PixelText(*p.right)));
  }
  UpdatePanes();
  QString question = tr("Store the %1 control points found in both photographs?\n\n%2")
                         .arg(search.found)
                         .arg(found.join("\n"));
  if (!missing.isEmpty()) question += "\n\n" + tr("Not found: %1").arg(missing.join(", "));
  const bool yes = ConfirmBox(this, question);
  proposal_ = {};
  if (!yes) {
    UpdatePanes();
    Note(tr("Found control targets not stored"));
    return;
  }
  StoreFoundControlPoints(session_, *imported_rows_, search);
  Stored();
  ShowSelectedPoint();
  Note(tr("%1 control points stored from their targets: F9 calibrates").arg(search.found));
}

bool TForm1::MatchOnEpipolar(PaneView& pane, double x, double y) {
  PaneView& other = Other(pane);
  const std::vector<GuidePoint> curve =
      EpipolarCurve(session_.Camera(), pane.IsLeft(), x, y, session_.Table());
  if (curve.empty()) return false;  // not calibrated: a plain capture
  const std::vector<ImagePosition>& targets = DetectedTargets(other);
  const std::vector<std::size_t> near = TargetsOnCurve(curve, targets);
  const int i = SelectedIndex();
  const QString name = session_.Table().Kind(i) == PointKind::kObject
                           ? tr("the object point")
                           : tr("control point %1").arg(ToQt(session_.Table().Name(i)));
  // The other photograph's target picked among several found by the last Shift-click there.
  std::optional<std::pair<ImagePosition, ImagePosition>> pair;  // this click, its match
  if (pending_match_ && pending_match_->left != pane.IsLeft() && pending_match_->point == i) {
    for (const ImagePosition& c : pending_match_->candidates) {
      if (std::hypot(c.x - x, c.y - y) < kSameTarget) pair = {{x, y}, pending_match_->clicked};
    }
  }
  pending_match_.reset();
  if (!pair && near.size() == 1) pair = {{x, y}, targets[near.front()]};
  if (pair) {
    session_.StoreImage(i, pane.IsLeft(), pair->first);
    session_.StoreImage(i, !pane.IsLeft(), pair->second);
    Stored();
    ShowSelectedPoint(kLeftBoxes | kRightBoxes);
    const ImagePosition l = pane.IsLeft() ? pair->first : pair->second;
    const ImagePosition r = pane.IsLeft() ? pair->second : pair->first;
    Note((near.size() == 1
              ? tr("Left %1 and right %2 stored in %3: the one target on the epipolar line")
              : tr("Left %1 and right %2 stored in %3"))
             .arg(ToQt(PixelText(l)), ToQt(PixelText(r)), name));
    return true;
  }
  pane.ShowCapture(x, y);
  session_.NoteCapture(i, pane.IsLeft(), x, y);
  if (near.empty()) {
    Note(tr("No target within %1 px of the epipolar line in the %2: only this pixel captured")
             .arg(static_cast<double>(kEpipolarMatchTolerance))
             .arg(Side(other.IsLeft())));
  } else {
    QStringList where;
    pending_match_ = PendingMatch{pane.IsLeft(), i, {x, y}, {}};
    for (const std::size_t k : near) {
      where << ToQt(PixelText(targets[k]));
      pending_match_->candidates.push_back(targets[k]);
    }
    Note(tr("%1 targets on the epipolar line in the %2 (%3): nothing stored, Shift-click the "
            "right one")
             .arg(near.size())
             .arg(Side(other.IsLeft()), where.join(", ")));
  }
  other.Box()->update();
  return true;
}

}  // namespace vistrel
