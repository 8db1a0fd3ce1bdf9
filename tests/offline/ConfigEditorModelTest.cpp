#include "offline/ConfigEditorModel.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace va5 {
namespace {

using V = ConfigurationValues;
using Mark = ConfigEditorModel::Mark;

// Each row's texts on the two sides and whether they hold different values: numbers compare
// as numbers, every other value as text.
struct CompareRow {
  ConfigMember member;
  const char* file;
  const char* device;
  bool different;
};
const CompareRow kRows[] = {
    {&V::damping, "5", "5.000", false},
    {&V::upperRange, "100", "100.5", true},
    {&V::lowerRange, "-50.000", "-50", false},
    {&V::sensorSerialNumber, "12", "012", false},
    {&V::finalAssemblyNumber, "12", "twelve", true},
    {&V::tag, "5", "5.000", true},
    {&V::date, "2024/01/01", "2024/1/1", true},
    {&V::sensorType, "Pt100", "Pt100", false},
    {&V::message, "", "HELLO", true},
};

TEST(ConfigEditorModelTest, CompareMarksWhatTheToolsComparisonReports) {
  V file, device;
  for (const CompareRow& row : kRows) {
    file.*row.member = row.file;
    device.*row.member = row.device;
  }
  std::set<std::string> reported;
  for (const ConfigDifference& d : CompareConfigurations(file, device)) reported.insert(d.key);

  for (ConfigSide side : {ConfigSide::File, ConfigSide::Device}) {
    ConfigEditorModel model;
    model.Load(ConfigSide::File, file);
    model.Load(ConfigSide::Device, device);
    model.Edit(side, &V::burnout, "");  // a compare replaces the changed mark too
    model.Compare(side);
    EXPECT_EQ(model.MarkOf(side, &V::burnout), Mark::Plain);
    const ConfigSide other = side == ConfigSide::File ? ConfigSide::Device : ConfigSide::File;
    for (const CompareRow& row : kRows) {
      EXPECT_EQ(model.MarkOf(side, row.member), row.different ? Mark::Different : Mark::Plain)
          << row.file << " / " << row.device;
      EXPECT_EQ(model.MarkOf(other, row.member), Mark::Plain);  // the other side keeps its look
    }
    // Every shown value is marked as the tool's comparison reports it, the rows above or not.
    for (const ConfigurationField& f : ConfigurationFields()) {
      EXPECT_EQ(model.MarkOf(side, f.value) == Mark::Different, reported.count(f.key) == 1)
          << f.key;
    }
  }
}

TEST(ConfigEditorModelTest, EditsAndCopiesMarkOnlyWhatChanged) {
  ConfigEditorModel model;
  V file, device;
  file.tag = "TT-1";
  device.tag = "TT-2";
  file.pvUnit = device.pvUnit = "degC";
  file.upperRange = "100.000";
  device.upperRange = "200.000";
  model.Load(ConfigSide::File, file);
  model.Load(ConfigSide::Device, device);

  model.Edit(ConfigSide::Device, &V::damping, "2.000");
  EXPECT_EQ(model.Values(ConfigSide::Device).damping, "2.000");
  EXPECT_EQ(model.MarkOf(ConfigSide::Device, &V::damping), Mark::Changed);
  EXPECT_EQ(model.MarkOf(ConfigSide::File, &V::damping), Mark::Plain);

  // The PV row: a unit already equal keeps its mark, the range takes the device's.
  const ConfigMember pvRow[] = {&V::pvUnit, &V::upperRange};
  model.Copy(ConfigSide::File, pvRow);
  EXPECT_EQ(model.Value(ConfigSide::File, &V::upperRange), "200.000");
  EXPECT_EQ(model.MarkOf(ConfigSide::File, &V::upperRange), Mark::Changed);
  EXPECT_EQ(model.MarkOf(ConfigSide::File, &V::pvUnit), Mark::Plain);
  EXPECT_EQ(model.Value(ConfigSide::File, &V::tag), "TT-1");  // not in the row

  // A failed write marks without changing the value; the values read back clear it.
  const ConfigMember tagRow[] = {&V::tag};
  model.SetMark(ConfigSide::Device, tagRow, Mark::Different, "refused");
  EXPECT_EQ(model.Note(ConfigSide::Device, &V::tag), "refused");
  EXPECT_EQ(model.Value(ConfigSide::Device, &V::tag), "TT-2");
  model.Load(ConfigSide::Device, file, tagRow);
  EXPECT_EQ(model.Value(ConfigSide::Device, &V::tag), "TT-1");
  EXPECT_EQ(model.MarkOf(ConfigSide::Device, &V::tag), Mark::Plain);
  EXPECT_EQ(model.Note(ConfigSide::Device, &V::tag), "");
  EXPECT_EQ(model.MarkOf(ConfigSide::Device, &V::damping), Mark::Changed);  // not loaded

  // The damping unit is a caption, not a value of the editor.
  EXPECT_THROW(model.Edit(ConfigSide::File, &V::dampingUnit, "s"), std::invalid_argument);
}

}  // namespace
}  // namespace va5
