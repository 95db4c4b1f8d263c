#pragma once
// The three kinds of custom control the pages use, behind one factory function each, so that a
// page never names the class that draws them: the icon button, the log list and the status bar.
#include <QAbstractButton>
#include <QWidget>

#include "ui/artwork.h"

namespace velmora::ui {

// A flat button that shows one icon bitmap.
QAbstractButton* MakeIconButton(QWidget* parent, art::Bitmap bitmap);
// The log list of a page.
QWidget* MakeLogList(QWidget* parent);
// The status bar of a page; a click on it is reported through `clicked`.
QWidget* MakeStatusControl(QWidget* parent);

}  // namespace velmora::ui
