#include "rollcall/projector_view.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QRawFont>
#include <QScreen>
#include <QShortcut>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace zorvanix {
namespace {

const QColor kBackground(0xffffff);
const QColor kNameColour(0xc62828);  // the strip's name colour
const QColor kFiguresColour(0x263238);
const QColor kHintColour(0x9e9e9e);
const QString kHint = QStringLiteral("Esc 或 F11 返回");
// A class's glyphs at full-screen size fit several times over.
constexpr int kGlyphCacheKilobytes = 48 * 1024;
// Where the middles of the name's line and of the figures' line sit, as
// shares of the height from the top: the figures stay put whatever the size
// of the name above them.
constexpr double kNameMiddle = 0.40;
constexpr double kFiguresMiddle = 0.73;
constexpr double kHintHeightShare = 1.0 / 40;
// A rolling name changes every 5 ms, far faster than a projector or an eye
// follows; the view shows at most one name per frame of this length, the
// last one always, so the roll itself keeps its pace.
constexpr int kFrameMilliseconds = 33;

int Advance(const QFont& font, int pixels, const QString& text) {
  QFont sized = font;
  sized.setPixelSize(pixels);
  return QFontMetrics(sized).horizontalAdvance(text);
}

QFont WithPixelSize(const QFont& font, int pixels) {
  QFont sized = font;
  sized.setPixelSize(std::max(1, pixels));
  return sized;
}

}  // namespace

int ProjectorNamePixelSize(const QString& text, const QSize& screen, const QFont& font) {
  const int largest = std::max(1, static_cast<int>(screen.height() * kProjectorNameHeightShare));
  if (text.isEmpty()) return largest;
  const int room = static_cast<int>(screen.width() * kProjectorNameWidthShare);
  const int wide = Advance(font, largest, text);
  if (wide <= room) return largest;
  // Widths grow almost in proportion to the size; hinting can leave a pixel
  // or two over, taken off one size at a time.
  int pixels =
      std::max(1, static_cast<int>(std::floor(static_cast<double>(largest) * room / wide)));
  while (pixels > 1 && Advance(font, pixels, text) > room) --pixels;
  return pixels;
}

ProjectorView::ProjectorView(QWidget& strip)
    : QWidget(&strip, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      strip_(strip),
      glyphs_(kGlyphCacheKilobytes) {
  setObjectName(QStringLiteral("Projector"));
  setWindowTitle(QStringLiteral("Zorvanix 投影"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
  base_font_ = QApplication::font();
  base_font_.setBold(true);

  auto* f11 = new QShortcut(QKeySequence(Qt::Key_F11), &strip_);
  connect(f11, &QShortcut::activated, this, &ProjectorView::Toggle);
  escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), &strip_);
  escape_->setEnabled(false);
  connect(escape_, &QShortcut::activated, this, &ProjectorView::Close);
  strip_.installEventFilter(this);

  frame_timer_ = new QTimer(this);
  frame_timer_->setSingleShot(true);
  frame_timer_->setInterval(kFrameMilliseconds);
  connect(frame_timer_, &QTimer::timeout, this, [this] {
    if (!frame_due_) return;
    frame_due_ = false;
    UpdateInk();
    frame_timer_->start();
  });
}

void ProjectorView::ShowStudent(const QString& name, const QString& average, const QString& count) {
  QString figures;
  if (!average.isEmpty() || !count.isEmpty()) {
    figures = QStringLiteral("平均分 ") + average + QStringLiteral("　　计分次数 ") + count;
  }
  if (name == name_ && figures == figures_) return;
  name_ = name;
  figures_ = figures;
  if (!isVisible()) return;
  FitFonts();
  if (frame_timer_->isActive()) {
    frame_due_ = true;
  } else {
    UpdateInk();
    frame_timer_->start();
  }
}

// Only where the old name and figures were and where the new ones go is
// painted again: most of a full-screen frame is the background, unchanged.
void ProjectorView::UpdateInk() {
  const QRect ink = LineInk(name_, name_font_, height() * kNameMiddle)
                        .united(LineInk(figures_, figures_font_, height() * kFiguresMiddle));
  update(ink.united(shown_ink_));
  shown_ink_ = ink;
}

// The screen the strip is on: with a projector beside the teacher's own
// screen, the teacher moves the strip there first.
void ProjectorView::Open() {
  QScreen* screen = strip_.screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  setWindowState(Qt::WindowNoState);
  setGeometry(screen->geometry());
  FitFonts();
  setWindowState(Qt::WindowFullScreen);
  // show(), not showFullScreen(): that one would take the keyboard.
  show();
  raise();
  shown_ink_ = rect();
  escape_->setEnabled(true);
}

void ProjectorView::Close() {
  if (!isVisible()) return;
  hide();
  if (strip_.isVisible()) strip_.activateWindow();
}

void ProjectorView::Toggle() {
  if (isVisible()) {
    Close();
  } else {
    Open();
  }
}

bool ProjectorView::eventFilter(QObject* watched, QEvent* event) {
  // The strip gives way to the login or management window: so does the view.
  if (watched == &strip_ && event->type() == QEvent::Hide) hide();
  return QWidget::eventFilter(watched, event);
}

void ProjectorView::hideEvent(QHideEvent* event) {
  escape_->setEnabled(false);
  QWidget::hideEvent(event);
}

void ProjectorView::resizeEvent(QResizeEvent* event) {
  fitted_.clear();
  FitFonts();
  QWidget::resizeEvent(event);
}

void ProjectorView::FitFonts() {
  const QSize screen = size();
  auto found = fitted_.constFind(name_);
  if (found == fitted_.cend()) {
    found = fitted_.insert(name_, ProjectorNamePixelSize(name_, screen, base_font_));
  }
  if (name_font_.pixelSize() != *found) name_font_ = WithPixelSize(base_font_, *found);
  const int figures = static_cast<int>(screen.height() * kProjectorFiguresHeightShare);
  if (figures_font_.pixelSize() != figures) {
    figures_font_ = WithPixelSize(QApplication::font(), figures);
    hint_font_ =
        WithPixelSize(QApplication::font(), static_cast<int>(screen.height() * kHintHeightShare));
  }
}

void ProjectorView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), kBackground);
  PaintLine(painter, name_, name_font_, kNameColour, height() * kNameMiddle);
  PaintLine(painter, figures_, figures_font_, kFiguresColour, height() * kFiguresMiddle);
  painter.setPen(kHintColour);
  painter.setFont(hint_font_);
  const int margin = hint_font_.pixelSize();
  painter.drawText(rect().adjusted(margin, margin, -margin, -margin),
                   Qt::AlignRight | Qt::AlignBottom, kHint);
}

// The text is laid out as usual (mixed scripts and fallback fonts fall into
// place), centred across the view with its line's middle at middle. The
// line's height takes in every font the text is drawn with.
QPointF ProjectorView::LineOrigin(const QTextLine& line, double middle) const {
  return QPointF((width() - line.naturalTextWidth()) / 2, middle - line.height() / 2);
}

// Where the glyphs of text land, with a pixel or two for their soft edges.
QRect ProjectorView::LineInk(const QString& text, const QFont& font, double middle) const {
  if (text.isEmpty()) return {};
  QTextLayout layout(text, font);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  if (!line.isValid()) return {};
  QRectF ink;
  for (const QGlyphRun& run : layout.glyphRuns()) ink |= run.boundingRect();
  return ink.translated(LineOrigin(line, middle)).toAlignedRect().adjusted(-2, -2, 2, 2);
}

// Each glyph is copied from its picture.
void ProjectorView::PaintLine(QPainter& painter, const QString& text, const QFont& font,
                              const QColor& colour, double middle) {
  if (text.isEmpty()) return;
  QTextLayout layout(text, font);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  if (!line.isValid()) return;
  const QPointF origin = LineOrigin(line, middle);
  for (const QGlyphRun& run : layout.glyphRuns()) {
    const QRawFont raw = run.rawFont();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
      const QRectF bounds = raw.boundingRect(glyphs[i]);
      painter.drawImage(origin + positions[i] + bounds.topLeft(),
                        GlyphPicture(raw, glyphs[i], colour));
    }
  }
}

// On a screen with more device pixels than logical ones the glyph is drawn
// at the device's size, so it stays sharp.
QImage ProjectorView::GlyphPicture(const QRawFont& font, quint32 glyph, const QColor& colour) {
  const qreal ratio = devicePixelRatioF();
  const QString key = font.familyName() + u'\x1f' + font.styleName() + u'\x1f' +
                      QString::number(font.pixelSize()) + u'\x1f' + QString::number(glyph) +
                      u'\x1f' + colour.name() + u'\x1f' + QString::number(ratio);
  if (const QImage* cached = glyphs_.object(key)) return *cached;
  QRawFont device = font;
  device.setPixelSize(font.pixelSize() * ratio);
  const QImage alpha = device.alphaMapForGlyph(glyph, QRawFont::PixelAntialiasing)
                           .convertToFormat(QImage::Format_Alpha8);
  if (alpha.isNull()) return {};  // a space
  QImage picture(alpha.size(), QImage::Format_ARGB32_Premultiplied);
  picture.fill(colour);
  picture.setAlphaChannel(alpha);
  picture.setDevicePixelRatio(ratio);
  const auto kilobytes = std::max<qsizetype>(1, picture.sizeInBytes() / 1024);
  glyphs_.insert(key, new QImage(picture), kilobytes);
  return picture;
}

}  // namespace zorvanix
