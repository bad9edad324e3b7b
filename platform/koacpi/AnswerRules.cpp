#include "AnswerRules.h"

namespace {

bool TakesArgument(uint32_t ordinal)
{
  return ordinal == 2 || ordinal == 3 || ordinal == 5 || ordinal == 11;
}

} // namespace

bool AnswerRules::Add(uint32_t ordinal, uint32_t argument, uint32_t result, int32_t times)
{
  if (ordinal < 1 || ordinal > 11 || ordinal == 8)
    return false;
  if (argument != kAnyArgument && !TakesArgument(ordinal))
    return false;
  if (times != -1 && times < 1)
    return false;
  m_rules.push_back({ordinal, argument, result, times});
  return true;
}

std::optional<uint32_t> AnswerRules::Take(uint32_t ordinal, std::optional<uint32_t> argument)
{
  for (auto rule = m_rules.rbegin(); rule != m_rules.rend(); ++rule) {
    if (rule->Ordinal != ordinal || (rule->Argument != kAnyArgument && rule->Argument != argument))
      continue;
    const uint32_t result = rule->Result;
    if (rule->Times > 0 && --rule->Times == 0)
      m_rules.erase(std::next(rule).base());
    return result;
  }
  return {};
}
