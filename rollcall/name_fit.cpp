#include "rollcall/name_fit.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>
#include <array>
#include <optional>

#include "rollcall/form_layout.h"

namespace zorvanix {

int NamePointSize(int width_twips, int characters) {
  if (characters <= 0) return layout::kMaxNamePointSize;
  const int points = width_twips / (characters * layout::kTwipsPerNameCharacterPoint);
  return std::clamp(points, 1, layout::kMaxNamePointSize);
}

namespace NameFonts {

const QFont& Font(int points) {
  static std::array<std::optional<QFont>, layout::kMaxNamePointSize + 1> fonts;
  points = std::clamp(points, 1, layout::kMaxNamePointSize);
  if (!fonts[points]) {
    QFont font = QApplication::font();
    font.setPointSize(points);
    font.setBold(true);
    fonts[points] = font;
  }
  return *fonts[points];
}

int LineHeight(const QFont& font) { return QFontMetrics(font).height() + 4; }

int LineHeight(int points) {
  static std::array<int, layout::kMaxNamePointSize + 1> heights{};
  points = std::clamp(points, 1, layout::kMaxNamePointSize);
  if (heights[points] == 0) heights[points] = LineHeight(Font(points));
  return heights[points];
}

}  // namespace NameFonts
}  // namespace zorvanix
