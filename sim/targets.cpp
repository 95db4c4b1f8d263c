#include "targets.h"

#include "dspic30/dspic30_target.h"
#include "memory/catalogue.h"
#include "pic18/pic18_target.h"
#include "scripted_target.h"

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
    {.family = "pic18", .claims = ClaimsPic18, .make = MakePic18},
    {.family = "dspic30", .claims = ClaimsDsPic30, .make = MakeDsPic30},
    {.family = "scripted", .claims = ClaimsAny, .make = MakeScripted},
};

template <typename Row, size_t N>
bool Lists(const Row (&table)[N], const std::string& device, size_t first) {
  for (size_t i = first; i < N; ++i) {
    if (device == table[i].name) return true;
  }
  return false;
}

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

std::string CatalogueFamily(const std::string& device) {
  // Row 0 of each device table is "Unknown Device".
  if (Lists(kPic18Devices, device, 1)) return "pic18";
  if (Lists(kDsPic30Devices, device, 1)) return "dspic30";
  if (Lists(kAvrDevices, device, 1)) return "avr";
  if (Lists(kTiny1xDevices, device, 1)) return "tiny1x";
  if (Lists(kPic12Devices, device, 1)) return "pic12";
  if (Lists(kPic10Types, device, 0)) return "pic10";
  return "";
}

}  // namespace velmora::sim
