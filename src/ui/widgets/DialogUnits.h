#pragma once
// Sizes given in dialog units (a quarter of the font's average character width, an eighth of its
// height), so that windows keep their proportions in every font, and the wait cursor of a dialog
// that runs a long operation.

#include <QFontMetrics>
#include <QSize>
#include <QWidget>

namespace tola {

inline QSize DialogUnits(const QWidget& widget, int x, int y) {
  const QFontMetrics metrics(widget.font());
  return {x * metrics.averageCharWidth() / 4, y * metrics.height() / 8};
}

// The wait cursor over the whole dialog except over `exempt`, the one control the operator may
// use meanwhile.
inline void ShowBusy(QWidget& dialog, QWidget& exempt, bool busy) {
  if (busy) {
    dialog.setCursor(Qt::WaitCursor);
    exempt.setCursor(Qt::ArrowCursor);
  } else {
    dialog.unsetCursor();
    exempt.unsetCursor();
  }
}

}  // namespace tola
