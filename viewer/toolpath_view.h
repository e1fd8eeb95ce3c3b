#pragma once
// The drawing of a toolpath: seen from above (XY), the front (XZ), the side
// (YZ) or isometric; rapid moves dashed, feed moves solid, arcs as arcs, the
// holes of canned cycles marked, the lit moves and the current move on top,
// a scale bar and the extents. The wheel zooms around the cursor, a drag
// pans, FitAll() shows the whole path.
//
// The path is drawn at display resolution into a cached picture that is
// redrawn only when the view changes: moves that stay within a pixel of
// where the last drawn line of their kind ended are skipped, so a drawing
// costs one pass over the motions. A large path is drawn on a thread of its
// own; until its picture is ready the last one is shown moved and scaled
// to the view, so that panning and zooming follow the mouse at once. The
// lit moves, the current move and the scale are drawn over the picture.

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "toolpath/report.h"
#include "toolpath/toolpath.h"

namespace vostrel::gui {

struct PixelImage;

class ToolpathView : public QWidget {
  Q_OBJECT
 public:
  explicit ToolpathView(QWidget* parent = nullptr);
  ~ToolpathView() override;

  // The path to show (nullptr: none); the owner keeps it alive. Shows it
  // whole, every move drawn, none lit.
  void SetPath(const toolpath::Result* path);
  const toolpath::Result* Path() const { return path_; }

  void SetView(toolpath::View view);  // and fits the path to it
  toolpath::View CurrentView() const { return view_; }
  // 全体表示: the whole path (every move, drawn or not) in the window.
  void FitAll();
  // Shows the area `model` (in the drawing's right and up coordinates)
  // whole, centred.
  void FitArea(const QRectF& model);

  // Only the first `count` moves are drawn (the order of cutting).
  void SetDrawnCount(std::size_t count);
  std::size_t DrawnCount() const { return drawnCount_; }

  // The current move (-1: none) is lit with the tool's position at its end;
  // the lit moves (those of a program line) are drawn over the path.
  void SetCurrentMove(std::int64_t index);
  std::int64_t CurrentMove() const { return current_; }
  void SetLitMoves(std::vector<std::uint32_t> moves);
  const std::vector<std::uint32_t>& LitMoves() const { return lit_; }
  // Pans (and zooms out when they do not fit) so that `moves` are in view.
  void BringIntoView(const std::vector<std::uint32_t>& moves);

  // The place of a machine position in the window, and of a window point in
  // the drawing's coordinates.
  QPointF ToWindow(const double p[3]) const;
  QPointF ToModel(const QPointF& window) const;
  double PixelsPerUnit() const { return scale_; }
  // The drawn move nearest to `window` within `tolerance` pixels (the later
  // of two equally near); -1 when none is.
  std::int64_t MoveAt(const QPointF& window, double tolerance = 5) const;

  // Draws the path as the view shows it, scaled to `area` of `painter`
  // (printing and export): the whole path when `whole`, else the shown part.
  void Render(QPainter& painter, const QRectF& area, bool whole) const;

  // The time the last full drawing of the path took, in milliseconds.
  double LastDrawMilliseconds() const { return lastDrawMs_; }
  // Whether the picture shows the view as it is now (a large path's is
  // drawn on its own thread).
  bool PictureCurrent() const { return pictureValid_; }
  // Whether any picture of the path is there to show (a part of it, while
  // a large path is being drawn).
  bool HasPicture() const { return !picture_.isNull(); }

 signals:
  void MoveClicked(std::int64_t index);
  void MoveActivated(std::int64_t index);  // double click
  void ViewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Where the drawing stands: the model point at the centre of a `size`
  // area and the pixels per unit.
  struct Frame {
    QPointF centre;
    double scale = 1;
    QSizeF size;
    QPointF At(const toolpath::Projection& projection, const double p[3]) const {
      return {size.width() / 2 + (projection.Right(p) - centre.x()) * scale,
              size.height() / 2 - (projection.Up(p) - centre.y()) * scale};
    }
  };
  Frame CurrentFrame() const;
  Frame FrameFitting(const QRectF& model, const QSizeF& size) const;
  QRectF PathBounds() const;  // of the whole path in the drawing's coordinates
  QRectF MovesBounds(const std::vector<std::uint32_t>& moves) const;
  // Into `raster` when given (the window's picture, whose pixels the
  // painter's device holds), else through the painter.
  // Asks `goOn` every few thousand moves whether to go on.
  void DrawPath(QPainter& painter, const Frame& frame, std::size_t count, double lineScale,
                const PixelImage* raster = nullptr, const std::function<bool()>& goOn = {}) const;
  // Draws the picture of the view as it is now: at once for a small path,
  // else on the drawing thread.
  void DrawPicture(const Frame& frame, const QSize& pixels, qreal ratio);
  void StopDrawing();
  void DrawMoves(QPainter& painter, const Frame& frame, const std::vector<std::uint32_t>& moves,
                 const QPen& pen) const;
  void DrawScale(QPainter& painter, const Frame& frame) const;
  void Changed();  // the cached picture is out of date

  const toolpath::Result* path_ = nullptr;
  toolpath::View view_ = toolpath::View::XY;
  toolpath::Projection projection_ = toolpath::ProjectionOf(toolpath::View::XY);
  QPointF centre_;
  double scale_ = 1;
  std::size_t drawnCount_ = 0;
  std::int64_t current_ = -1;
  std::vector<std::uint32_t> lit_;
  bool fitted_ = false;  // fitted once the widget has its size

  QImage picture_;
  Frame pictureFrame_;          // the view the picture shows
  toolpath::View pictureView_ = toolpath::View::XY;
  bool pictureValid_ = false;   // it shows the view as it is now
  std::uint64_t changes_ = 0;   // of the view, counted
  std::uint64_t drawingFor_ = UINT64_MAX;  // the change the thread draws
  std::atomic<std::uint64_t> wanted_{0};   // the change a drawing must show to go on
  std::thread drawing_;
  double lastDrawMs_ = 0;

  QPoint pressAt_;
  QPointF pressCentre_;
  bool pressed_ = false;  // the left button went down on the view
  bool dragging_ = false;
};

}  // namespace vostrel::gui
