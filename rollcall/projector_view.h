// The projector view: the name on the strip, full screen on the screen the
// roll-call window is on, large enough to read from the back of a classroom,
// with the student's average and number of scores below it. It follows the
// name as it rolls. F11 on the roll-call window (or the draw panel's "投影"
// button) opens it; Esc or F11 brings back the strip, which stays as it was.
//
// The view never takes the keyboard: keys go on reaching the strip while the
// class looks at the names, so Space, Enter or a presenter remote still stop
// and start draws there, and Esc and F11 are the strip's shortcuts.
#pragma once

#include <QCache>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

class QRawFont;
class QShortcut;
class QTextLine;
class QTimer;

namespace zorvanix {

// The name's font is this share of the screen height (its pixel size)...
inline constexpr double kProjectorNameHeightShare = 0.42;
// ...unless the name is wider than this share of the screen width: then the
// font shrinks until it fits.
inline constexpr double kProjectorNameWidthShare = 0.92;
// The figures under the name.
inline constexpr double kProjectorFiguresHeightShare = 1.0 / 14;

// The pixel size of font that shows text as large as the rules above allow on
// a screen of that size; at least 1.
int ProjectorNamePixelSize(const QString& text, const QSize& screen, const QFont& font);

class ProjectorView : public QWidget {
  Q_OBJECT

 public:
  // strip: the roll-call window. F11 on it opens and closes the view, Esc
  // closes it; the view closes too when the strip hides.
  explicit ProjectorView(QWidget& strip);

  bool IsOpen() const { return isVisible(); }
  const QString& Name() const { return name_; }
  // The line under the name: "平均分 4.5   计分次数 3", or nothing for a
  // student never scored (the strip's labels are empty then too).
  const QString& Figures() const { return figures_; }
  // The fonts the name and the figures are drawn in now.
  const QFont& NameFont() const { return name_font_; }
  const QFont& FiguresFont() const { return figures_font_; }

 public slots:
  // What the strip shows under the name now: the name and its two figures.
  void ShowStudent(const QString& name, const QString& average, const QString& count);
  void Open();
  void Close();
  void Toggle();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FitFonts();
  void UpdateInk();
  QPointF LineOrigin(const QTextLine& line, double middle) const;
  QRect LineInk(const QString& text, const QFont& font, double middle) const;
  void PaintLine(QPainter& painter, const QString& text, const QFont& font, const QColor& colour,
                 double middle);
  QImage GlyphPicture(const QRawFont& font, quint32 glyph, const QColor& colour);

  QWidget& strip_;
  QShortcut* escape_ = nullptr;
  QTimer* frame_timer_ = nullptr;
  bool frame_due_ = false;  // a change waits for the next frame
  QRect shown_ink_;         // where the name and figures were painted last
  QString name_;
  QString figures_;
  QFont base_font_;
  QFont name_font_;
  QFont figures_font_;
  QFont hint_font_;
  // Pixel sizes of the names fitted to the view's present size.
  QHash<QString, int> fitted_;
  // Glyphs this large are past what the toolkit keeps ready (it would trace
  // their outlines at every frame); each is drawn once into a picture, so a
  // rolling name costs no more than copying its glyphs.
  QCache<QString, QImage> glyphs_;
};

}  // namespace zorvanix
