// Windows that open on the screen they belong to: a top-level window is no larger than the
// screen's available area (its frame included) and lies inside it, whatever its contents
// would like, so that no button of it is out of reach on a small or scaled screen.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace va5 {

// The available area (without panels and task bars) of the screen `widget` is on; a widget
// not yet on a screen takes its parent window's, else the primary screen's.
QRect AvailableScreenArea(const QWidget* widget);

// The frame the window system draws around `window`; before the window is shown, an allowance
// for a title bar and borders.
QMargins FrameOf(const QWidget* window);

// `wanted` made small enough that a window of that size with `frame` around it fits `area`.
QSize FittedSize(QSize wanted, const QRect& area, const QMargins& frame);
// Where the frame's top-left corner of a window of `geometry` (its inside, without the frame)
// goes so that the frame lies inside `area`: where it is when it does already.
QPoint FittedPosition(const QRect& geometry, const QRect& area, const QMargins& frame);

// Brings the top-level `window` inside the available area of its screen: its size is capped
// (never below its minimum size) and it is moved in. Nothing else changes.
void FitToScreen(QWidget* window);

// FitToScreen now and each time the window is shown again.
void KeepOnScreen(QWidget* window);

}  // namespace va5
