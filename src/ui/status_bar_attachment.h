#pragma once
// Connects the document's status bar model to the status bar of the page on screen.
// Operations change the model on their own threads; the bar shown at that moment repaints.
//
// The model half (status_bar_model.cpp) reads the engine's ProgressBarState, the control half
// (status_bar_control.cpp) draws through the control's ProgressDrawState; they meet in
// StatusPicture, so neither side depends on the other.
#include <cstdint>
#include <mutex>
#include <string>

class QWidget;

namespace velmora {

class CqelProgressBar;
class CqelProgressCtrl;

struct StatusPicture {
  std::string caption;
  int32_t position = 0;
  int32_t minimum = 0;
  int32_t maximum = 999;
  int32_t barColour = -1;
  int32_t filledTextColour = 0xFFFFFF;
  int32_t emptyTextColour = 0;
  bool enabled = true;
};

class StatusBarAttachment {
 public:
  explicit StatusBarAttachment(CqelProgressBar& bar);
  ~StatusBarAttachment();
  StatusBarAttachment(const StatusBarAttachment&) = delete;
  StatusBarAttachment& operator=(const StatusBarAttachment&) = delete;

  // GUI thread. Shows the model in `control`, a status bar of MakeStatusControl (nullptr:
  // none), from now on.
  void Attach(QWidget* control);
  StatusPicture Current() const;

 private:
  void Show(const StatusPicture& picture);

  CqelProgressBar& bar_;
  int observerId_ = 0;
  std::mutex mutex_;
  CqelProgressCtrl* control_ = nullptr;
};

}  // namespace velmora
