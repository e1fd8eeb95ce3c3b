#include "shell/busy_indicator.h"

#include <QPainter>

#include <cmath>

namespace vostrel::gui {

namespace {
constexpr int kDots = 8;
}

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
  setFixedSize(24, 24);
  timer_.setInterval(90);
  connect(&timer_, &QTimer::timeout, this, [this] {
    step_ = (step_ + 1) % kDots;
    update();
  });
  hide();
}

void BusyIndicator::Start() {
  show();
  timer_.start();
}

void BusyIndicator::Stop() {
  timer_.stop();
  hide();
}

void BusyIndicator::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const QPointF centre(width() / 2.0, height() / 2.0);
  const double radius = std::min(width(), height()) / 2.0 - 3.0;
  QColor colour = palette().color(QPalette::Highlight);
  for (int i = 0; i < kDots; ++i) {
    const double angle = 2 * M_PI * i / kDots;
    const int age = (step_ - i + kDots) % kDots;
    colour.setAlphaF(1.0 - age / static_cast<double>(kDots));
    painter.setBrush(colour);
    painter.drawEllipse(centre + QPointF(radius * std::cos(angle), radius * std::sin(angle)), 2.2, 2.2);
  }
}

}  // namespace vostrel::gui
