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
  const char* family;
  bool (*claims)(const std::string& device);
  // `options` is the scenario's "target" object.
  std::unique_ptr<ITarget> (*make)(const std::string& device, const nlohmann::json& options);
};

std::span<const TargetModel> TargetModels();
const TargetModel& ModelFor(const std::string& device);

// The catalogue table that lists a device name: "pic18", "dspic30", "avr", "tiny1x", "pic12",
// "pic10", or "" when no table does.
std::string CatalogueFamily(const std::string& device);

}  // namespace velmora::sim
