// What the configuration editor holds, without its window: the values of the file side and of
// the device side, and how each value is marked (changed by an edit or a copy, different from
// the other side after a compare). The editor's pages show this model and hand their edits to
// it; the comparison is the one the command-line tool's "config compare" prints.
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "offline/FilePropertyReadWrite.h"

namespace va5 {

enum class ConfigSide { File, Device };

using ConfigMember = std::string ConfigurationValues::*;

// One row whose file value differs from the device value.
struct ConfigDifference {
  std::string key;  // as in the file ("Tag", "PV Upper Range", ...)
  std::string fileValue;
  std::string deviceValue;
};

// Every shown value (ConfigurationFields) whose two texts do not hold the same value: numbers
// are compared as numbers ("5" and "5.000" agree), all else as text.
std::vector<ConfigDifference> CompareConfigurations(const ConfigurationValues& file,
                                                    const ConfigurationValues& device);

class ConfigEditorModel {
 public:
  enum class Mark {
    Plain,      // as it was read, uploaded or compared equal
    Changed,    // set by an edit or a copy since
    Different,  // differs from the other side (a compare), or a write of it failed
  };

  const ConfigurationValues& Values(ConfigSide side) const { return values_[Index(side)]; }
  const std::string& Value(ConfigSide side, ConfigMember member) const;
  Mark MarkOf(ConfigSide side, ConfigMember member) const;
  // Why the value is marked (the reason of a failed write); empty for most.
  const std::string& Note(ConfigSide side, ConfigMember member) const;

  // Values read from a file or a device: `members` of `side` (every one when empty) take them
  // and become plain.
  void Load(ConfigSide side, const ConfigurationValues& values,
            std::span<const ConfigMember> members = {});
  // An entry of the technician's: the value is set and marked changed.
  void Edit(ConfigSide side, ConfigMember member, std::string text);
  // Copies `members` from the other side to `to`. A value whose text is already the same keeps
  // its mark; the others take the other side's text and are marked changed.
  void Copy(ConfigSide to, std::span<const ConfigMember> members);
  // Marks every value of `side` different or plain against the other side, by
  // CompareConfigurations.
  void Compare(ConfigSide side);
  // Sets the mark (and note) of `members` (every one when empty) without touching values.
  void SetMark(ConfigSide side, std::span<const ConfigMember> members, Mark mark,
               const std::string& note = {});

 private:
  struct Cell {
    Mark mark = Mark::Plain;
    std::string note;
  };
  static std::size_t Index(ConfigSide side) { return side == ConfigSide::File ? 0 : 1; }
  static std::size_t FieldIndex(ConfigMember member);  // throws for a member that is not shown
  Cell& CellOf(ConfigSide side, ConfigMember member);
  const Cell& CellOf(ConfigSide side, ConfigMember member) const;

  std::array<ConfigurationValues, 2> values_;
  std::array<std::vector<Cell>, 2> cells_{std::vector<Cell>(ConfigurationFields().size()),
                                          std::vector<Cell>(ConfigurationFields().size())};
};

}  // namespace va5
