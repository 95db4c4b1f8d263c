// The model half of StatusBarAttachment (sees the engine's bar state only).
#include "engine/progress_bar.h"
#include "ui/status_bar_attachment.h"

namespace velmora {
namespace {

StatusPicture PictureOf(const ProgressBarState& state) {
  return {.caption = state.caption,
          .position = state.position,
          .minimum = state.minimum,
          .maximum = state.maximum,
          .barColour = state.barColour,
          .filledTextColour = state.filledTextColour,
          .emptyTextColour = state.emptyTextColour,
          .enabled = state.enabled};
}

}  // namespace

StatusBarAttachment::StatusBarAttachment(CqelProgressBar& bar) : bar_(bar) {
  observerId_ = bar_.AddObserver([this](const ProgressBarState& state) { Show(PictureOf(state)); });
}

StatusBarAttachment::~StatusBarAttachment() {
  bar_.RemoveObserver(observerId_);
}

StatusPicture StatusBarAttachment::Current() const {
  return PictureOf(bar_.State());
}

}  // namespace velmora
