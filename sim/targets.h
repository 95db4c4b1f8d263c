#pragma once
// The target device models, one row per family; the first row that claims a device name
// builds its model. The scripted target at the end claims every name.
#include <memory>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

#include "target.h"

namespace velmora::sim {

struct TargetModel {
  const char* name;  // the model's name in transcripts and state files
  bool (*claims)(const std::string& device);
  // `options` is the scenario's "target" object.
  std::unique_ptr<ITarget> (*make)(const std::string& device, const nlohmann::json& options);
};

std::span<const TargetModel> TargetModels();
const TargetModel& ModelFor(const std::string& device);

// True when the catalogue lists the name or a model other than the scripted target claims it
// (a chip the catalogue does not know, described by the scenario).
bool KnownDevice(const std::string& device);

}  // namespace velmora::sim
