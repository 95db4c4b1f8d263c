#pragma once
// The custom controls of the pages behind one factory function each, so that a page never names
// the class that draws them: the icon button, the option list, the log list and the status bar.
#include <QAbstractButton>
#include <QComboBox>
#include <QWidget>
#include <functional>

namespace velmora::ui {

// An owner-drawn icon button showing the bitmap with this resource number (icon_art.h).
QAbstractButton* MakeIconButton(QWidget* parent, int bitmapResource);
// An option list that never hides its texts: its drop-down is as wide as its longest item, and
// its tooltip adds the whole text of the current item to the tooltip the page gives it.
QComboBox* MakeOptionList(QWidget* parent);
// The tooltip an option list shows now.
QString OptionListToolTip(const QComboBox& list);
// The log list of a page.
QWidget* MakeLogList(QWidget* parent);
// The status bar of a page.
QWidget* MakeStatusControl(QWidget* parent);
// Calls `onClick` (in `context`) when the status bar made by MakeStatusControl is clicked.
void OnStatusControlClicked(QWidget* statusControl, QObject* context,
                            const std::function<void()>& onClick);

}  // namespace velmora::ui
