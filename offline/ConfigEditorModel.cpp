#include "offline/ConfigEditorModel.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace va5 {

namespace {

// Calls `differs` with every shown field whose file and device texts do not hold the same value.
template <typename Differs>
void ForEachDifference(const ConfigurationValues& file, const ConfigurationValues& device,
                       Differs&& differs) {
  for (const ConfigurationField& f : ConfigurationFields()) {
    if (!SameFieldValue(f, file.*f.value, device.*f.value)) differs(f);
  }
}

}  // namespace

std::vector<ConfigDifference> CompareConfigurations(const ConfigurationValues& file,
                                                    const ConfigurationValues& device) {
  std::vector<ConfigDifference> differences;
  ForEachDifference(file, device, [&](const ConfigurationField& f) {
    differences.push_back({f.key, file.*f.value, device.*f.value});
  });
  return differences;
}

std::size_t ConfigEditorModel::FieldIndex(ConfigMember member) {
  const auto& fields = ConfigurationFields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].value == member) return i;
  }
  throw std::invalid_argument("not a shown configuration value");
}

ConfigEditorModel::Cell& ConfigEditorModel::CellOf(ConfigSide side, ConfigMember member) {
  return cells_[Index(side)][FieldIndex(member)];
}

const ConfigEditorModel::Cell& ConfigEditorModel::CellOf(ConfigSide side,
                                                         ConfigMember member) const {
  return cells_[Index(side)][FieldIndex(member)];
}

const std::string& ConfigEditorModel::Value(ConfigSide side, ConfigMember member) const {
  FieldIndex(member);  // only the shown values
  return values_[Index(side)].*member;
}

ConfigEditorModel::Mark ConfigEditorModel::MarkOf(ConfigSide side, ConfigMember member) const {
  return CellOf(side, member).mark;
}

const std::string& ConfigEditorModel::Note(ConfigSide side, ConfigMember member) const {
  return CellOf(side, member).note;
}

void ConfigEditorModel::Load(ConfigSide side, const ConfigurationValues& values,
                             std::span<const ConfigMember> members) {
  for (const ConfigurationField& f : ConfigurationFields()) {
    if (!members.empty() && std::find(members.begin(), members.end(), f.value) == members.end()) {
      continue;
    }
    values_[Index(side)].*f.value = values.*f.value;
    CellOf(side, f.value) = {};
  }
}

void ConfigEditorModel::Edit(ConfigSide side, ConfigMember member, std::string text) {
  Cell& cell = CellOf(side, member);
  values_[Index(side)].*member = std::move(text);
  cell = {Mark::Changed, {}};
}

void ConfigEditorModel::Copy(ConfigSide to, std::span<const ConfigMember> members) {
  const ConfigSide from = to == ConfigSide::File ? ConfigSide::Device : ConfigSide::File;
  for (ConfigMember member : members) {
    const std::string& source = Value(from, member);
    if (source != Value(to, member)) Edit(to, member, source);
  }
}

void ConfigEditorModel::Compare(ConfigSide side) {
  SetMark(side, {}, Mark::Plain);
  ForEachDifference(Values(ConfigSide::File), Values(ConfigSide::Device),
                    [&](const ConfigurationField& f) {
                      CellOf(side, f.value) = {Mark::Different, {}};
                    });
}

void ConfigEditorModel::SetMark(ConfigSide side, std::span<const ConfigMember> members, Mark mark,
                                const std::string& note) {
  if (members.empty()) {
    for (Cell& cell : cells_[Index(side)]) cell = {mark, note};
    return;
  }
  for (ConfigMember member : members) CellOf(side, member) = {mark, note};
}

}  // namespace va5
