#pragma once
// The three custom controls of the pages behind one factory function each, so that a page never
// names the class that draws them: the icon button, the log list and the status bar.
#include <QAbstractButton>
#include <QWidget>
#include <functional>

namespace velmora::ui {

// An owner-drawn icon button showing the bitmap with this resource number (icon_art.h).
QAbstractButton* MakeIconButton(QWidget* parent, int bitmapResource);
// The log list of a page.
QWidget* MakeLogList(QWidget* parent);
// The status bar of a page.
QWidget* MakeStatusControl(QWidget* parent);
// Calls `onClick` (in `context`) when the status bar made by MakeStatusControl is clicked.
void OnStatusControlClicked(QWidget* statusControl, QObject* context,
                            const std::function<void()>& onClick);

}  // namespace velmora::ui
