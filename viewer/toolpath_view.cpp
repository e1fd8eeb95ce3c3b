#include "viewer/toolpath_view.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <tuple>

#include "viewer/line_raster.h"

namespace vostrel::gui {

namespace tp = vostrel::toolpath;

namespace {

constexpr double kFitMargin = 24;  // pixels around a fitted area

const QColor kRapidColour(208, 64, 64);
const QColor kFeedColour(32, 80, 192);
const QColor kHoleColour(0, 128, 64);
const QColor kLitColour(255, 140, 0);
const QColor kCurrentColour(200, 0, 200);

// The chord angle that keeps an arc of `radiusPixels` within a quarter of a
// pixel of its chords.
double ChordAngle(double radiusPixels) {
  return std::clamp(std::sqrt(2 / std::max(radiusPixels, 1e-9)), std::numbers::pi / 360, std::numbers::pi / 8);
}

double ArcRadius(const tp::Motion& m) {
  double radius, start;
  tp::ArcSweep(m, radius, start);
  return radius;
}

double SegmentDistance(const QPointF& p, const QPointF& a, const QPointF& b) {
  const QPointF ab = b - a, ap = p - a;
  const double length2 = QPointF::dotProduct(ab, ab);
  const double t = length2 > 0 ? std::clamp(QPointF::dotProduct(ap, ab) / length2, 0.0, 1.0) : 0.0;
  const QPointF d = ap - ab * t;
  return std::hypot(d.x(), d.y());
}

// A length of 1, 2 or 5 times a power of ten near `target`.
double RoundLength(double target) {
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  for (const double step : {1.0, 2.0, 5.0})
    if (step * power >= target) return step * power;
  return 10 * power;
}

}  // namespace

ToolpathView::ToolpathView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ToolpathView"));
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(120, 90);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

ToolpathView::~ToolpathView() { StopDrawing(); }

void ToolpathView::StopDrawing() {
  wanted_ = UINT64_MAX;
  if (drawing_.joinable()) drawing_.join();
  drawingFor_ = UINT64_MAX;
}

void ToolpathView::SetPath(const tp::Result* path) {
  StopDrawing();  // it may be drawing the path that goes
  picture_ = QImage();
  path_ = path;
  drawnCount_ = path ? path->motions.size() : 0;
  current_ = -1;
  lit_.clear();
  FitAll();
}

void ToolpathView::SetView(tp::View view) {
  StopDrawing();  // the thread reads the projection
  view_ = view;
  projection_ = tp::ProjectionOf(view);
  FitAll();
}

QRectF ToolpathView::PathBounds() const {
  if (!path_ || !path_->statistics.hasExtent) return QRectF(-1, -1, 2, 2);
  const tp::Statistics& s = path_->statistics;
  double left = INFINITY, right = -INFINITY, bottom = INFINITY, top = -INFINITY;
  for (int corner = 0; corner < 8; ++corner) {
    const double p[3] = {corner & 1 ? s.max[0] : s.min[0], corner & 2 ? s.max[1] : s.min[1],
                         corner & 4 ? s.max[2] : s.min[2]};
    left = std::min(left, projection_.Right(p)), right = std::max(right, projection_.Right(p));
    bottom = std::min(bottom, projection_.Up(p)), top = std::max(top, projection_.Up(p));
  }
  return QRectF(QPointF(left, bottom), QPointF(right, top));
}

QRectF ToolpathView::MovesBounds(const std::vector<std::uint32_t>& moves) const {
  double left = INFINITY, right = -INFINITY, bottom = INFINITY, top = -INFINITY;
  auto include = [&](const double p[3]) {
    left = std::min(left, projection_.Right(p)), right = std::max(right, projection_.Right(p));
    bottom = std::min(bottom, projection_.Up(p)), top = std::max(top, projection_.Up(p));
  };
  for (const std::uint32_t index : moves) {
    if (!path_ || index >= path_->motions.size()) continue;
    const tp::Motion& m = path_->motions[index];
    include(m.from);
    tp::ForEachPathPoint(m, std::numbers::pi / 18, include);
  }
  if (left > right) return {};
  return QRectF(QPointF(left, bottom), QPointF(right, top));
}

ToolpathView::Frame ToolpathView::FrameFitting(const QRectF& model, const QSizeF& size) const {
  Frame frame;
  frame.size = size;
  const double width = std::max(model.width(), 1e-3), height = std::max(model.height(), 1e-3);
  // Clear of the extents above and the scale bar below where there is room.
  const double margin = std::min(kFitMargin, std::min(size.width(), size.height()) / 8);
  const double line = fontMetrics().height();
  const double top = size.height() > 12 * line ? 3.5 * line : margin;
  const double bottom = size.height() > 12 * line ? 2 * line : margin;
  frame.scale = std::max(1e-9, std::min((size.width() - 2 * margin) / width, (size.height() - top - bottom) / height));
  // The model's centre at the middle of that area.
  frame.centre = model.center() + QPointF(0, (top - bottom) / 2 / frame.scale);
  return frame;
}

ToolpathView::Frame ToolpathView::CurrentFrame() const {
  Frame frame;
  frame.centre = centre_;
  frame.scale = scale_;
  frame.size = size();
  return frame;
}

void ToolpathView::FitAll() { FitArea(PathBounds()); }

void ToolpathView::FitArea(const QRectF& model) {
  const Frame frame = FrameFitting(model, size());
  centre_ = frame.centre;
  scale_ = frame.scale;
  fitted_ = true;
  Changed();
}

void ToolpathView::SetDrawnCount(std::size_t count) {
  count = std::min(count, path_ ? path_->motions.size() : 0);
  if (count == drawnCount_) return;
  drawnCount_ = count;
  Changed();
}

void ToolpathView::SetCurrentMove(std::int64_t index) {
  current_ = path_ && index >= 0 && static_cast<std::size_t>(index) < path_->motions.size() ? index : -1;
  update();
}

void ToolpathView::SetLitMoves(std::vector<std::uint32_t> moves) {
  lit_ = std::move(moves);
  update();
}

void ToolpathView::BringIntoView(const std::vector<std::uint32_t>& moves) {
  const QRectF bounds = MovesBounds(moves);
  if (bounds.isNull() && moves.empty()) return;
  const QRectF shown(ToModel(QPointF(kFitMargin, height() - kFitMargin)),
                     ToModel(QPointF(width() - kFitMargin, kFitMargin)));
  if (shown.contains(bounds)) return;
  if (bounds.width() * scale_ < width() - 2 * kFitMargin && bounds.height() * scale_ < height() - 2 * kFitMargin) {
    centre_ = bounds.center();
    fitted_ = false;
    Changed();
  } else {
    FitArea(bounds);
    fitted_ = false;
  }
}

QPointF ToolpathView::ToWindow(const double p[3]) const { return CurrentFrame().At(projection_, p); }

QPointF ToolpathView::ToModel(const QPointF& window) const {
  return {centre_.x() + (window.x() - width() / 2.0) / scale_, centre_.y() - (window.y() - height() / 2.0) / scale_};
}

std::int64_t ToolpathView::MoveAt(const QPointF& window, double tolerance) const {
  if (!path_) return -1;
  const Frame frame = CurrentFrame();
  std::int64_t best = -1;
  double bestDistance = tolerance;
  for (std::size_t i = 0; i < drawnCount_; ++i) {
    const tp::Motion& m = path_->motions[i];
    QPointF last = frame.At(projection_, m.from);
    auto near = [&](const QPointF& to) {
      const double d = SegmentDistance(window, last, to);
      last = to;
      if (d <= bestDistance) bestDistance = d, best = static_cast<std::int64_t>(i);
    };
    if (m.type == tp::MotionType::Arc) {
      const double chord = ChordAngle(ArcRadius(m) * frame.scale);
      tp::ForEachPathPoint(m, chord, [&](const double p[3]) { near(frame.At(projection_, p)); });
    } else {
      const QPointF to = frame.At(projection_, m.to);
      // Most moves are far from the point: their box tells.
      if (std::min(last.x(), to.x()) - tolerance > window.x() || std::max(last.x(), to.x()) + tolerance < window.x() ||
          std::min(last.y(), to.y()) - tolerance > window.y() || std::max(last.y(), to.y()) + tolerance < window.y())
        continue;
      near(to);
    }
  }
  return best;
}

void ToolpathView::DrawPath(QPainter& painter, const Frame& frame, std::size_t count, double lineScale,
                            const PixelImage* raster, const std::function<bool()>& goOn) const {
  if (!path_) return;
  const std::vector<tp::Motion>& motions = path_->motions;
  count = std::min(count, motions.size());
  const double left = -2, top = -2, right = frame.size.width() + 2, bottom = frame.size.height() + 2;

  // The moves of each kind as one line: a move that ends within a pixel of
  // where the line last ended adds nothing.
  struct Stroke {
    QPen pen;
    std::vector<QLineF> lines;
    QPointF end{-1e9, -1e9};
  };
  Stroke strokes[2];
  // One pixel wide on screen: the painter's fast path for thin lines.
  strokes[0].pen = QPen(kRapidColour, lineScale > 1.5 ? lineScale : 0, Qt::DashLine);
  strokes[1].pen = QPen(kFeedColour, lineScale > 1.5 ? lineScale : 0);
  std::vector<QPointF> holes;
  constexpr std::size_t kBatch = 4096;
  for (Stroke& stroke : strokes) stroke.lines.reserve(kBatch);
  auto flush = [&painter](Stroke& stroke) {
    if (stroke.lines.empty()) return;
    painter.setPen(stroke.pen);
    painter.drawLines(stroke.lines.data(), static_cast<int>(stroke.lines.size()));
    stroke.lines.clear();
  };
  const double ratio = raster ? raster->width / std::max(1.0, frame.size.width()) : 1;
  auto lineTo = [&](Stroke& stroke, const QPointF& to) {
    if (std::fabs(to.x() - stroke.end.x()) + std::fabs(to.y() - stroke.end.y()) < 1) return;
    const QLineF line(stroke.end, to);
    stroke.end = to;
    if ((line.x1() < left && line.x2() < left) || (line.x1() > right && line.x2() > right) ||
        (line.y1() < top && line.y2() < top) || (line.y1() > bottom && line.y2() > bottom))
      return;
    if (raster) {
      const bool rapid = &stroke == &strokes[0];
      RasterLine(*raster, line.x1() * ratio, line.y1() * ratio, line.x2() * ratio, line.y2() * ratio,
                 (rapid ? kRapidColour : kFeedColour).rgb(), rapid);
      return;
    }
    stroke.lines.push_back(line);
    if (stroke.lines.size() == kBatch) flush(stroke);
  };
  for (std::size_t i = 0; i < count; ++i) {
    if (goOn && i % 8192 == 8191 && !goOn()) return;
    const tp::Motion& m = motions[i];
    Stroke& stroke = strokes[m.type == tp::MotionType::Rapid ? 0 : 1];
    const QPointF from = frame.At(projection_, m.from);
    if (std::fabs(from.x() - stroke.end.x()) + std::fabs(from.y() - stroke.end.y()) >= 1) stroke.end = from;
    if (m.type == tp::MotionType::Arc) {
      const double radius = ArcRadius(m) * frame.scale;
      if (radius < 1) lineTo(stroke, frame.At(projection_, m.to));
      else tp::ForEachPathPoint(m, ChordAngle(radius), [&](const double p[3]) { lineTo(stroke, frame.At(projection_, p)); });
    } else {
      lineTo(stroke, frame.At(projection_, m.to));
    }
    if (m.holeBottom) {
      const QPointF at = frame.At(projection_, m.to);
      if (at.x() >= left && at.x() <= right && at.y() >= top && at.y() <= bottom) holes.push_back(at);
    }
  }
  for (Stroke& stroke : strokes) flush(stroke);
  if (holes.empty()) return;
  // A hole: a circle with a cross, one pixel apart from the next at most.
  painter.setPen(QPen(kHoleColour, lineScale));
  painter.setBrush(Qt::NoBrush);
  const double r = 4 * lineScale;
  QPointF last(-1e9, -1e9);
  for (const QPointF& at : holes) {
    if (std::fabs(at.x() - last.x()) + std::fabs(at.y() - last.y()) < 1) continue;
    last = at;
    painter.drawEllipse(at, r, r);
    painter.drawLine(at - QPointF(r * 1.5, 0), at + QPointF(r * 1.5, 0));
    painter.drawLine(at - QPointF(0, r * 1.5), at + QPointF(0, r * 1.5));
  }
}

void ToolpathView::DrawMoves(QPainter& painter, const Frame& frame, const std::vector<std::uint32_t>& moves,
                             const QPen& pen) const {
  if (!path_) return;
  painter.setPen(pen);
  QPainterPath drawing;
  constexpr std::size_t kMostLit = 100000;  // a loop's line may stand for many moves
  for (std::size_t k = 0; k < std::min(moves.size(), kMostLit); ++k) {
    if (moves[k] >= path_->motions.size()) continue;
    const tp::Motion& m = path_->motions[moves[k]];
    drawing.moveTo(frame.At(projection_, m.from));
    const double chord = m.type == tp::MotionType::Arc ? ChordAngle(ArcRadius(m) * frame.scale) : 1;
    tp::ForEachPathPoint(m, chord, [&](const double p[3]) { drawing.lineTo(frame.At(projection_, p)); });
  }
  painter.drawPath(drawing);
}

void ToolpathView::DrawScale(QPainter& painter, const Frame& frame) const {
  if (!path_) return;
  const tp::Statistics& s = path_->statistics;
  const QString unit = s.inch ? QStringLiteral("in") : QStringLiteral("mm");
  const QFontMetricsF metrics(painter.font());
  const double line = metrics.height();
  painter.setPen(Qt::black);
  // The extents of the whole path, top left.
  if (s.hasExtent) {
    const char* names = "XYZ";
    for (int i = 0; i < 3; ++i)
      painter.drawText(QPointF(line / 2, line * (i + 1)),
                       QStringLiteral("%1  %2 .. %3 %4")
                           .arg(QLatin1Char(names[i]))
                           .arg(s.min[i], 0, 'f', 3)
                           .arg(s.max[i], 0, 'f', 3)
                           .arg(unit));
  }
  const QString name = QString::fromLatin1(tp::ViewName(view_));
  painter.drawText(QPointF(frame.size.width() - metrics.horizontalAdvance(name) - line / 2, line), name);
  // The scale bar, bottom left: a round length near a tenth of the width.
  const double length = RoundLength(frame.size.width() / 8 / frame.scale);
  const double pixels = length * frame.scale;
  const QPointF start(line, frame.size.height() - line);
  const QPointF end = start + QPointF(pixels, 0);
  painter.drawLine(start, end);
  painter.drawLine(start, start - QPointF(0, line / 3));
  painter.drawLine(end, end - QPointF(0, line / 3));
  painter.drawText(end + QPointF(line / 3, 0), QString::number(length, 'g', 6) + QLatin1Char(' ') + unit);
}

void ToolpathView::Render(QPainter& painter, const QRectF& area, bool whole) const {
  Frame frame;
  if (whole) {
    frame = FrameFitting(PathBounds(), area.size());
  } else {
    frame = CurrentFrame();
    frame.scale *= std::min(area.width() / std::max(1, width()), area.height() / std::max(1, height()));
    frame.size = area.size();
  }
  const double lineScale = painter.device() ? painter.device()->logicalDpiX() / 96.0 : 1;
  painter.save();
  painter.translate(area.topLeft());
  painter.setClipRect(QRectF(QPointF(0, 0), area.size()));
  DrawPath(painter, frame, whole && path_ ? path_->motions.size() : drawnCount_, lineScale);
  DrawScale(painter, frame);
  painter.restore();
}

void ToolpathView::Changed() {
  pictureValid_ = false;
  wanted_ = ++changes_;  // a drawing under way for an older view stops
  update();
  emit ViewChanged();
}

void ToolpathView::DrawPicture(const Frame& frame, const QSize& pixels, qreal ratio) {
  // A drawing of the path into a picture of its own, timed; `goOn` is
  // asked now and then whether to go on, with the picture so far.
  auto draw = [this, frame, pixels, ratio](std::size_t count, const std::function<bool(const QImage&)>& goOn) {
    QElapsedTimer timer;
    timer.start();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    const PixelImage raster{reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
                            static_cast<int>(image.bytesPerLine() / 4)};
    std::function<bool()> asked;
    if (goOn) asked = [&goOn, &image] { return goOn(image); };
    DrawPath(painter, frame, count, 1, &raster, asked);
    painter.end();
    return std::pair{std::move(image), static_cast<double>(timer.nsecsElapsed()) / 1e6};
  };
  constexpr std::size_t kDrawnAtOnce = 50000;  // moves; more go to the thread
  if (!path_ || path_->motions.size() <= kDrawnAtOnce) {
    std::tie(picture_, lastDrawMs_) = draw(drawnCount_, {});
    pictureFrame_ = frame;
    pictureView_ = view_;
    pictureValid_ = true;
    return;
  }
  if (drawingFor_ == changes_) return;  // under way
  wanted_ = changes_;
  if (drawing_.joinable()) drawing_.join();  // an older one stops within a few thousand moves
  drawingFor_ = changes_;
  drawing_ = std::thread([this, draw, generation = changes_, count = drawnCount_, view = view_, frame] {
    // The picture goes to the window when done, and what there is of it
    // every so often before.
    auto hand = [this, generation, view, frame](QImage image, bool done, double ms) {
      QMetaObject::invokeMethod(
          this,
          [this, generation, view, frame, image = std::move(image), done, ms] {
            if (generation != changes_) return;
            picture_ = image;
            pictureFrame_ = frame;
            pictureView_ = view;
            pictureValid_ = done;
            if (done) lastDrawMs_ = ms;
            update();
          },
          Qt::QueuedConnection);
    };
    QElapsedTimer sinceShown;
    sinceShown.start();
    auto goOn = [&](const QImage& image) {
      if (wanted_.load(std::memory_order_relaxed) != generation) return false;
      if (sinceShown.elapsed() >= 150) {
        hand(image.copy(), false, 0);
        sinceShown.restart();
      }
      return true;
    };
    auto [image, ms] = draw(count, goOn);
    if (wanted_.load() == generation) hand(std::move(image), true, ms);
  });
}

void ToolpathView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const Frame frame = CurrentFrame();
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (!pictureValid_) DrawPicture(frame, pixels, ratio);
  if (pictureValid_) {
    painter.drawImage(QPointF(0, 0), picture_);
  } else {
    // The last picture moved and scaled to the view until the new one comes.
    painter.fillRect(rect(), Qt::white);
    if (picture_.isNull() || pictureView_ != view_) {
      painter.setPen(Qt::gray);
      painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("描画しています..."));
    } else {
      const double k = frame.scale / pictureFrame_.scale;
      const QPointF offset(
          frame.size.width() / 2 + (pictureFrame_.centre.x() - frame.centre.x()) * frame.scale - k * pictureFrame_.size.width() / 2,
          frame.size.height() / 2 - (pictureFrame_.centre.y() - frame.centre.y()) * frame.scale - k * pictureFrame_.size.height() / 2);
      painter.save();
      painter.translate(offset);
      painter.scale(k, k);
      painter.drawImage(QPointF(0, 0), picture_);
      painter.restore();
    }
  }
  painter.setRenderHint(QPainter::Antialiasing);
  if (!lit_.empty()) DrawMoves(painter, frame, lit_, QPen(kLitColour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  if (current_ >= 0) {
    DrawMoves(painter, frame, {static_cast<std::uint32_t>(current_)},
              QPen(kCurrentColour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kCurrentColour);
    painter.drawEllipse(frame.At(projection_, path_->motions[static_cast<std::size_t>(current_)].to), 4, 4);
    painter.setBrush(Qt::NoBrush);
  }
  painter.setRenderHint(QPainter::Antialiasing, false);
  DrawScale(painter, frame);
  if (hasFocus()) {
    painter.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void ToolpathView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // A view the user has not moved keeps the whole path in the window.
  if (fitted_) FitAll();
  else Changed();
}

void ToolpathView::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  const QPointF at = event->position();
  const QPointF model = ToModel(at);
  scale_ = std::clamp(scale_ * std::pow(1.25, steps), 1e-6, 1e9);
  centre_ = QPointF(model.x() - (at.x() - width() / 2.0) / scale_, model.y() + (at.y() - height() / 2.0) / scale_);
  fitted_ = false;
  Changed();
  event->accept();
}

void ToolpathView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton) return;
  pressAt_ = event->position().toPoint();
  pressCentre_ = centre_;
  pressed_ = true;
  dragging_ = false;
}

void ToolpathView::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ || !(event->buttons() & Qt::LeftButton)) return;  // a drag that started here
  const QPoint delta = event->position().toPoint() - pressAt_;
  if (!dragging_ && delta.manhattanLength() < 4) return;
  dragging_ = true;
  setCursor(Qt::ClosedHandCursor);
  centre_ = pressCentre_ - QPointF(delta.x() / scale_, -delta.y() / scale_);
  fitted_ = false;
  Changed();
}

void ToolpathView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  unsetCursor();
  if (dragging_) {
    dragging_ = false;
    return;
  }
  const std::int64_t move = MoveAt(event->position());
  if (move >= 0) emit MoveClicked(move);
}

void ToolpathView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const std::int64_t move = MoveAt(event->position());
  if (move >= 0) emit MoveActivated(move);
}

}  // namespace vostrel::gui
