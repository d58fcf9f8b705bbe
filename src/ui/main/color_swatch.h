#pragma once

#include <QColor>
#include <QFrame>
#include <functional>

namespace vistrel {

// A framed patch of one colour that reports double-clicks.
class TColorSwatch : public QFrame {
  Q_OBJECT

 public:
  explicit TColorSwatch(QWidget* parent = nullptr);

  void SetColor(const QColor& color);
  QColor Color() const { return color_; }

  std::function<void()> on_double_click;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_;
};

}  // namespace vistrel
