#include "core/step.h"

#include <array>

namespace cairn {
namespace {

struct StepEntry {
  Step step;
  std::string_view name;
};

constexpr StepEntry Steps[] = {
#define CAIRN_STEP_ENTRY(name, text) {Step::name, text},
    CAIRN_STEP_TABLE(CAIRN_STEP_ENTRY)
#undef CAIRN_STEP_ENTRY
};

}  // namespace

std::string_view stepName(Step step) {
  for (const StepEntry& entry : Steps) {
    if (entry.step == step) return entry.name;
  }
  return {};
}

std::optional<Step> stepNamed(std::string_view name) {
  for (const StepEntry& entry : Steps) {
    if (entry.name == name) return entry.step;
  }
  return std::nullopt;
}

}  // namespace cairn
