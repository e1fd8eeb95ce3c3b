#pragma once
// The small busy animation beside the buttons: a ring of dots turning
// while a long step works.

#include <QTimer>
#include <QWidget>

namespace vostrel::gui {

class BusyIndicator : public QWidget {
  Q_OBJECT
 public:
  explicit BusyIndicator(QWidget* parent = nullptr);
  void Start();  // show and turn
  void Stop();   // stop and hide
  bool Active() const { return timer_.isActive(); }
  QSize sizeHint() const override { return {24, 24}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer timer_;
  int step_ = 0;
};

}  // namespace vostrel::gui
