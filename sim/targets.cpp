#include "targets.h"

#include "avr/avr_target.h"
#include "dspic30/dspic30_target.h"
#include "memory/catalogue.h"
#include "pic10/pic10_target.h"
#include "pic12/pic12_target.h"
#include "pic18/pic18_target.h"
#include "scripted_target.h"
#include "tiny1x/tiny1x_target.h"

namespace velmora::sim {

namespace {

bool ClaimsAny(const std::string&) {
  return true;
}

std::unique_ptr<ITarget> MakeScripted(const std::string&, const nlohmann::json& options) {
  return std::make_unique<ScriptedTarget>(options);
}

// First match wins; the scripted target stays last.
constexpr TargetModel kModels[] = {
    {.name = "pic18", .claims = ClaimsPic18, .make = MakePic18},
    {.name = "dspic30", .claims = ClaimsDsPic30, .make = MakeDsPic30},
    {.name = "tiny1x", .claims = ClaimsTiny1x, .make = MakeTiny1x},
    {.name = "avr", .claims = ClaimsAvr, .make = MakeAvr},
    {.name = "pic12", .claims = ClaimsPic12, .make = MakePic12},
    {.name = "pic10", .claims = ClaimsPic10, .make = MakePic10},
    {.name = "scripted", .claims = ClaimsAny, .make = MakeScripted},
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

bool KnownDevice(const std::string& device) {
  // The product's catalogue decides which names are devices; the models decide how they behave.
  if (FamilyOfDevice(device) != Family::kNone) return true;
  const TargetModel& model = ModelFor(device);
  return &model != &kModels[std::size(kModels) - 1];
}

}  // namespace velmora::sim
