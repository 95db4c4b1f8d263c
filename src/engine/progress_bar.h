#pragma once
// Model of the status bar that every operation drives: caption, position in 0..999, the
// colour of the filled part and the two text colours. The GUI draws it, the CLI renders it as
// text; both learn of changes through observers. Written from operation workers, so guarded.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {

namespace colour {
// COLORREF values (0x00BBGGRR).
constexpr int32_t kDefaultBar = -1;  // the bar's own gradient
constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kWhite = 0xFFFFFF;
constexpr int32_t kBlack = 0x000000;
}  // namespace colour

struct ProgressBarState {
  std::string caption;
  int32_t position = 0;
  int32_t minimum = 0;
  int32_t maximum = 999;
  int32_t barColour = colour::kDefaultBar;
  int32_t filledTextColour = colour::kWhite;
  int32_t emptyTextColour = colour::kBlack;
  bool enabled = true;
  // The bar range of the current phase, in thousandths of the bar.
  int32_t phaseStart = 0;
  int32_t phaseSpan = 0;

  bool operator==(const ProgressBarState&) const = default;
};

using ProgressObserver = std::function<void(const ProgressBarState&)>;

class CqelProgressBar {
 public:
  ProgressBarState State() const;

  // Each setter notifies the observers once with the new state.
  void SetCaption(const std::string& caption);
  void SetPosition(int32_t position);
  void SetRange(int32_t minimum, int32_t maximum);
  void SetColours(int32_t bar, int32_t filledText, int32_t emptyText);
  // Several fields at once, one notification.
  void Update(const std::function<void(ProgressBarState&)>& change);

  // Maps the link's per-mille counter of the current phase into the bar:
  // position = counter x span / 1000 + start, in unsigned arithmetic. A new phase shows its
  // counter 0.
  void SetPhase(int32_t start, int32_t span);
  void ShowCounter(int32_t perMille);

  int AddObserver(ProgressObserver observer);
  void RemoveObserver(int id);

  static int32_t PhasePosition(int32_t start, int32_t span, int32_t perMille);

 private:
  std::recursive_mutex changeMutex_;  // held while a change is made and told
  mutable std::mutex dataMutex_;
  ProgressBarState state_;
  std::vector<std::pair<int, ProgressObserver>> observers_;
  int nextObserverId_ = 1;
};

}  // namespace velmora
