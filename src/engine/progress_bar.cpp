#include "engine/progress_bar.h"

#include <algorithm>

namespace velmora {

ProgressBarState CqelProgressBar::State() const {
  std::lock_guard data(dataMutex_);
  return state_;
}

void CqelProgressBar::Update(const std::function<void(ProgressBarState&)>& change) {
  std::lock_guard lock(changeMutex_);
  ProgressBarState snapshot;
  {
    std::lock_guard data(dataMutex_);
    change(state_);
    snapshot = state_;
  }
  for (const auto& [id, observer] : observers_) observer(snapshot);
}

void CqelProgressBar::SetCaption(const std::string& caption) {
  Update([&](ProgressBarState& s) { s.caption = caption; });
}

void CqelProgressBar::SetPosition(int32_t position) {
  Update([&](ProgressBarState& s) {
    s.position = position;
    s.enabled = true;
  });
}

void CqelProgressBar::SetRange(int32_t minimum, int32_t maximum) {
  Update([&](ProgressBarState& s) {
    s.minimum = minimum;
    s.maximum = maximum;
  });
}

void CqelProgressBar::SetColours(int32_t bar, int32_t filledText, int32_t emptyText) {
  Update([&](ProgressBarState& s) {
    s.barColour = bar;
    s.filledTextColour = filledText;
    s.emptyTextColour = emptyText;
  });
}

int32_t CqelProgressBar::PhasePosition(int32_t start, int32_t span, int32_t perMille) {
  return static_cast<int32_t>(static_cast<uint32_t>(perMille) * static_cast<uint32_t>(span) /
                                  1000u +
                              static_cast<uint32_t>(start));
}

void CqelProgressBar::SetPhase(int32_t start, int32_t span) {
  Update([&](ProgressBarState& s) {
    s.phaseStart = start;
    s.phaseSpan = span;
    s.position = PhasePosition(start, span, 0);
    s.enabled = true;
  });
}

void CqelProgressBar::ShowCounter(int32_t perMille) {
  Update([&](ProgressBarState& s) {
    s.position = PhasePosition(s.phaseStart, s.phaseSpan, perMille);
    s.enabled = true;
  });
}

int CqelProgressBar::AddObserver(ProgressObserver observer) {
  std::lock_guard lock(changeMutex_);
  observers_.emplace_back(nextObserverId_, std::move(observer));
  return nextObserverId_++;
}

void CqelProgressBar::RemoveObserver(int id) {
  std::lock_guard lock(changeMutex_);
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

}  // namespace velmora
