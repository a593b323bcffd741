#include "survey/sender_split.h"

#include <algorithm>
#include <iterator>

#include "survey/callsign.h"

namespace psk {

std::vector<OverReport> split_by_sender(const TaggedOver& over, const OverReport& whole) {
  std::map<int64_t, std::string> texts;  // text after each idle run began
  for (size_t i = 0; i < over.text.size(); ++i) texts[over.text_run[i]] += over.text[i];
  std::map<int64_t, std::string> senders;  // the runs whose text names a sender
  std::vector<std::string> order;          // distinct senders, first heard first
  for (const auto& [run, text] : texts) {
    const std::string sender = sender_of(text);
    if (sender.empty()) continue;
    senders[run] = sender;
    if (std::find(order.begin(), order.end(), sender) == order.end()) order.push_back(sender);
  }
  if (order.size() < 2) return {whole};
  // The sender of the text before run and of the text from it on.
  auto owner = [&](int64_t run) -> std::string {
    auto next = senders.lower_bound(run);
    const std::string after = next != senders.end() ? next->second : "";
    const std::string before = next != senders.begin() ? std::prev(next)->second : "";
    if (!before.empty() && !after.empty() && before != after) return "";
    return after.empty() ? before : after;
  };
  std::vector<OverReport> parts;
  for (const std::string& call : order) {
    OverReport part = whole;
    part.call = call;
    part.imd.clear();
    part.clock_ppm.clear();
    part.text.clear();
    parts.push_back(std::move(part));
  }
  auto part_of = [&](int64_t run) -> OverReport* {
    const std::string call = owner(run);
    for (OverReport& p : parts)
      if (!call.empty() && p.call == call) return &p;
    return nullptr;
  };
  for (size_t i = 0; i < over.imd.size(); ++i)
    if (OverReport* p = part_of(over.imd_run[i])) p->imd.push_back(over.imd[i]);
  for (size_t i = 0; i < over.clock.size(); ++i)
    if (OverReport* p = part_of(over.clock_run[i])) p->clock_ppm.push_back(over.clock[i]);
  for (const auto& [run, text] : texts)
    if (OverReport* p = part_of(run)) p->text += text;
  // Each part from the first run its sender's text follows to the next part.
  for (size_t k = 1; k < parts.size(); ++k) {
    for (const auto& [run, sender] : senders) {
      if (sender != parts[k].call) continue;
      auto t = over.run_t.find(run);
      if (t != over.run_t.end()) parts[k].start_t = parts[k - 1].end_t = t->second;
      break;
    }
  }
  return parts;
}

}  // namespace psk
