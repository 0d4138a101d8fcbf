// The font of the large name: as big as the name box allows for the number of
// characters shown, at most 70 points. Fonts and their line heights are made
// once per point size, so a name that changes every few milliseconds costs no
// font look-ups.
#pragma once

#include <QFont>

namespace zorvanix {

// The whole part of width / (characters x 24), at most 70 and at least 1.
int NamePointSize(int width_twips, int characters);

namespace NameFonts {
// The name font at the given point size (1..70).
const QFont& Font(int points);
// Pixels one line of the font needs in a frameless text box.
int LineHeight(const QFont& font);
// The same for the name font of that point size, measured once.
int LineHeight(int points);
}  // namespace NameFonts

}  // namespace zorvanix
