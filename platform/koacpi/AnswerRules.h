#pragma once
// Injected answers: rules that make calls of one ordinal answer a fixed result without doing anything.
#include <cstdint>
#include <optional>
#include <vector>

constexpr uint32_t kAnyArgument = 0xFFFFFFFFu;

struct AnswerRule {
  uint32_t Ordinal;
  uint32_t Argument; // item id or group, or kAnyArgument
  uint32_t Result;
  int32_t Times;     // calls left, -1 for every call
};

class AnswerRules {
public:
  // Ordinals 1-7 and 9-11; an argument can only select for AcpiSetItem, AcpiGetItem, AcpiGetGroup and
  // AcpiGetItemInfo; times is -1 or at least 1. False (and nothing added) otherwise.
  bool Add(uint32_t ordinal, uint32_t argument, uint32_t result, int32_t times);
  void Clear() { m_rules.clear(); }
  // The result of the newest rule that matches this call, counting the call against it. `argument` is the
  // call's item id or group, unset when the call has none or it could not be read.
  std::optional<uint32_t> Take(uint32_t ordinal, std::optional<uint32_t> argument = {});

private:
  std::vector<AnswerRule> m_rules; // oldest first
};
