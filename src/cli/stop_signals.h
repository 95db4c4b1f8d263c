#pragma once
// SIGINT and SIGTERM while an operation runs: the first asks the document to stop at the next
// transfer (the cycle still leaves programming mode and closes the programmer), the second
// removes the temporary file of a save in progress, prints "interrupted" and ends the program
// at once with status 130.
#include "engine/cqel_doc.h"

namespace velmora::cli {

class StopOnSignals {
 public:
  // Installs the handlers for `doc`; one at a time.
  explicit StopOnSignals(CqelDoc& doc);
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;
  // Puts the handlers back that were there before.
  ~StopOnSignals();

  // True when a signal arrived while installed.
  bool Signalled() const;
};

}  // namespace velmora::cli
