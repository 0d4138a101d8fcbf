// Sizes and positions of the roll-call window, in twips (1/1440 inch; 15 twips
// make one pixel at 96 dots per inch). Every number of the window's layout
// lives here, so the rules that depend on one another can be read together.
//
// Positions are in window coordinates (the client area's corner is 0, 0). The
// draw panel Frame5 sits 120 twips left of and above that corner, so its own
// border stays out of sight; its children are placed through ToFrame5().
#pragma once

#include <QPoint>
#include <QRect>
#include <cmath>

namespace zorvanix::layout {

inline constexpr int kTwipsPerPixel = 15;

constexpr int Px(double twips) {
  return static_cast<int>(twips >= 0 ? twips / 15 + 0.5 : twips / 15 - 0.5);
}
constexpr int Twips(int pixels) { return pixels * kTwipsPerPixel; }
inline QRect PxRect(int left, int top, int width, int height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

// --- The window and its draw panel ---------------------------------------
inline constexpr int kFrame5Offset = 120;  // Frame5 sits this far up and left
inline constexpr int kFrame5Width = 10620;
inline constexpr int kFrame5Height = 3720;
// The window shows the draw panel and nothing else.
inline constexpr int kWindowWidth = kFrame5Width - 100;
inline constexpr int kWindowHeight = kFrame5Height + 600;
// Folded: a small tile that shows Image1 only.
inline constexpr int kFoldedWidth = 700;
inline constexpr int kFoldedHeight = 900;
// Where the side panels (upload, statistics, manual pick) are shown.
inline constexpr int kSidePanelLeft = 100;
inline constexpr int kSidePanelTop = 100;

inline QRect ToFrame5(int left, int top, int width, int height) {
  return PxRect(left + kFrame5Offset, top + kFrame5Offset, width, height);
}

// --- Name display and criteria ---------------------------------------------
inline constexpr int kText13Left = 45;
inline constexpr int kText13Top = 0;
inline constexpr int kText13Height = 2205;
inline constexpr int kText2Left = 75;
// The name's point size: the box's width over 24 twips per character, at most 70.
inline constexpr int kTwipsPerNameCharacterPoint = 24;
inline constexpr int kMaxNamePointSize = 70;
// Without criteria the name boxes span the window.
inline constexpr int kText13WidthMargin = 140;
inline constexpr int kText2WidthMargin = 200;
inline constexpr int kCombo3NarrowerThanText13 = 1700;
// With criteria they end at the divider.
inline constexpr int kText13PastDivider = 120;
inline constexpr int kText2PastDivider = 90;
inline constexpr int kCombo3PastDivider = 120;
inline constexpr int kList1GapAfterDivider = 120;
inline constexpr int kSplitterTop = 45;
inline constexpr int kSplitterWidth = 60;
inline constexpr int kSplitterHeight = 2580;
inline constexpr int kSplitterStartLeft = 6600;
// The divider stays more than this far from the left edge...
inline constexpr int kDividerMinLeft = 2800;
// ...and at least this far from the right edge.
inline constexpr int kDividerMinRightRoom = 1400;

// --- Search row --------------------------------------------------------------
inline constexpr int kSearchRowTop = 2250;
inline constexpr int kRowHeight = 375;
inline constexpr int kTxtManualLeft = 45;
inline constexpr int kTxtManualWidth = 1605;
inline constexpr int kCombo3Left = kText13Left + kCombo3NarrowerThanText13;
// Search hits open above the search box: left 200, bottom line at 2370 on
// Frame5, each hit 200 tall, between 600 and 1650 in all.
inline constexpr int kList2Left = 200 - kFrame5Offset;
inline constexpr int kList2Bottom = 2370 - kFrame5Offset;

// --- Draw buttons and choices --------------------------------------------------
inline constexpr int kPictureSize = 600;  // Image1, Image2
inline constexpr int kImage2Top = 2715;
inline constexpr int kButtonRowTop = 2685;
inline constexpr int kSecondRowTop = 3120;
inline constexpr int kRowsLeft = 705;
inline constexpr int kDrawButtonWidth = 600;
inline constexpr int kDrawButtonGap = 15;
inline constexpr int kCombo1Width = 960;
inline constexpr int kCombo2Width = 1800;
inline constexpr int kCommandWidth = 780;
inline constexpr int kLabelWidth = 900;
// "投影", after the count label.
inline constexpr int kProjectorButtonWidth = 780;

// --- Status bar ----------------------------------------------------------------
inline constexpr int kStatusBarHeight = 330;
inline constexpr int kVersionPanelWidth = 1200;
inline constexpr int kServerVersionPanelWidth = 1800;
inline constexpr int kThirdPanelWidth = 1200;
inline constexpr int kStopwatchPanelWidth = 1200;

}  // namespace zorvanix::layout
