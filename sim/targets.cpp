#include "targets.h"

#include "scripted_target.h"

namespace velmora::sim {

namespace {

bool ClaimsAny(const std::string&) {
  return true;
}

std::unique_ptr<ITarget> MakeScripted(const std::string&, const nlohmann::json& options) {
  return std::make_unique<ScriptedTarget>(options);
}

constexpr TargetModel kModels[] = {
    {.family = "scripted", .claims = ClaimsAny, .make = MakeScripted},
};

}  // namespace

std::span<const TargetModel> TargetModels() {
  return kModels;
}

const TargetModel& ModelFor(const std::string& device) {
  for (const TargetModel& model : kModels) {
    if (model.claims(device)) return model;
  }
  return kModels[std::size(kModels) - 1];
}

}  // namespace velmora::sim
