#include "device/GlobalFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

namespace va5 {
namespace {

class GlobalFileTest : public ::testing::Test {
 protected:
  CglobalFile tables_;

  std::string SensorName(int code) const {
    return CglobalFile::NameOfCode(tables_.SensorTypeNames(), tables_.SensorTypeCodes(), code);
  }
  int SensorIndex(const std::string& name) const {
    return CglobalFile::IndexOfName(tables_.SensorTypeNames(), name);
  }
};

TEST_F(GlobalFileTest, ParallelTablesHaveEqualLengthsAndUniqueCodes) {
  const std::pair<const StringTable*, const StringTable*> pairs[] = {
      {&tables_.SensorTypeNames(), &tables_.SensorTypeCodes()},
      {&tables_.WiringNames(), &tables_.WiringCodes()},
      {&tables_.PvUnitNames(), &tables_.PvUnitCodes()},
      {&tables_.TemperatureUnitNames(), &tables_.TemperatureUnitCodes()},
      {&tables_.OhmUnitNames(), &tables_.OhmUnitCodes()},
      {&tables_.MillivoltUnitNames(), &tables_.MillivoltUnitCodes()},
      {&tables_.PercentUnitNames(), &tables_.PercentUnitCodes()},
      {&tables_.TerminalUnitNames(), &tables_.TerminalUnitCodes()},
      {&tables_.OutputUnitNames(), &tables_.OutputUnitCodes()},
      {&tables_.BurnoutNames(), &tables_.BurnoutCodes()},
      {&tables_.TransferFunctionNames(), &tables_.TransferFunctionCodes()},
      {&tables_.CjcModeNames(), &tables_.CjcModeCodes()},
  };
  for (const auto& [names, codes] : pairs) {
    ASSERT_EQ(names->size(), codes->size()) << names->front();
    EXPECT_EQ(std::set<std::string>(codes->begin(), codes->end()).size(), codes->size())
        << names->front();
    EXPECT_EQ(std::set<std::string>(names->begin(), names->end()).size(), names->size())
        << names->front();
  }
  EXPECT_EQ(tables_.SensorTypeNames().size(), 36u);
  EXPECT_EQ(tables_.SensorDefaultUnits().size(), 36u);
  EXPECT_EQ(tables_.SensorDefaultLower().size(), 36u);
  EXPECT_EQ(tables_.SensorDefaultUpper().size(), 36u);
  EXPECT_EQ(tables_.PvUnitCodes().size(), 8u);
}

TEST_F(GlobalFileTest, SensorCodesOutOfAscendingOrderStillFindTheirNames) {
  EXPECT_EQ(SensorName(132), "Type W5");
  EXPECT_EQ(SensorName(142), "Type L");
  EXPECT_EQ(SensorName(141), "Type T");
  EXPECT_EQ(SensorName(143), "Type U");
  EXPECT_EQ(SensorName(1), "OHM");
  EXPECT_EQ(SensorName(129), "Millivolt");
  EXPECT_EQ(SensorName(245), "POT 150 ohms");
  // The named codes of the table-driven sensors and curve are the ones the tables list.
  EXPECT_EQ(SensorName(CustomRtdSensorCode), "Custom RTD");
  EXPECT_EQ(SensorName(CustomTcSensorCode), "Custom TC");
  EXPECT_EQ(CglobalFile::NameOfCode(tables_.TransferFunctionNames(),
                                    tables_.TransferFunctionCodes(), SpecialCurveTransferCode),
            "SPECIAL_CURVE");
  EXPECT_EQ(SensorIndex("Type W5"), 24);
  EXPECT_EQ(SensorIndex("Type L"), 26);
  // Lists keep the table order, not the code order.
  EXPECT_EQ(tables_.SensorTypeNames()[23], "Type T");
  EXPECT_EQ(tables_.SensorTypeNames()[25], "Type U");
}

TEST_F(GlobalFileTest, UnknownCodesAreInvalidArguments) {
  EXPECT_EQ(
      CglobalFile::NameOfCode(tables_.TransferFunctionNames(), tables_.TransferFunctionCodes(), 4),
      "SPECIAL_CURVE");
  EXPECT_EQ(CglobalFile::IndexOfCode(tables_.TransferFunctionCodes(), 2), -1);
  EXPECT_THROW(
      CglobalFile::NameOfCode(tables_.TransferFunctionNames(), tables_.TransferFunctionCodes(), 2),
      std::invalid_argument);
  EXPECT_THROW(SensorName(0), std::invalid_argument);
  EXPECT_THROW(SensorName(-1), std::invalid_argument);
  // A name table shorter than its code table fails the same way instead of reading past it.
  const StringTable names{"only"};
  const StringTable codes{"5", "6"};
  EXPECT_EQ(CglobalFile::NameOfCode(names, codes, 5), "only");
  EXPECT_THROW(CglobalFile::NameOfCode(names, codes, 6), std::invalid_argument);
}

TEST_F(GlobalFileTest, NamesOfTheOtherCodeTables) {
  auto name = [](const StringTable& names, const StringTable& codes, int code) {
    return CglobalFile::NameOfCode(names, codes, code);
  };
  EXPECT_EQ(name(tables_.PvUnitNames(), tables_.PvUnitCodes(), 57), "%");
  EXPECT_EQ(name(tables_.PvUnitNames(), tables_.PvUnitCodes(), 39), "mA");
  EXPECT_EQ(name(tables_.PvUnitNames(), tables_.PvUnitCodes(), 35), "Kelvin");
  EXPECT_THROW(name(tables_.PvUnitNames(), tables_.PvUnitCodes(), 38), std::invalid_argument);
  EXPECT_EQ(name(tables_.OutputUnitNames(), tables_.OutputUnitCodes(), 40), "V");
  EXPECT_EQ(name(tables_.OutputUnitNames(), tables_.OutputUnitCodes(), 39), "mA");
  EXPECT_EQ(name(tables_.WiringNames(), tables_.WiringCodes(), 4), "4 Wires");
  EXPECT_EQ(name(tables_.BurnoutNames(), tables_.BurnoutCodes(), 2), "None");
  EXPECT_EQ(name(tables_.CjcModeNames(), tables_.CjcModeCodes(), 1), "CJC ON");
  EXPECT_EQ(name(tables_.TerminalUnitNames(), tables_.TerminalUnitCodes(), 33), "degF");
  EXPECT_THROW(name(tables_.TerminalUnitNames(), tables_.TerminalUnitCodes(), 36),
               std::invalid_argument);
  // Names compare exactly.
  EXPECT_EQ(SensorIndex("ohm"), -1);
  EXPECT_EQ(SensorIndex("Pt100 "), -1);
  EXPECT_EQ(SensorIndex("Pt100"), 1);
}

TEST_F(GlobalFileTest, OfflineDefaultsAreKeptAsWritten) {
  EXPECT_EQ(tables_.SensorDefaultLower()[2], "-200.00");  // Pt200
  EXPECT_EQ(tables_.SensorDefaultLower()[1], "-200.000");
  EXPECT_EQ(tables_.SensorDefaultUpper()[0], "4000.000");
  EXPECT_EQ(tables_.SensorDefaultUnits()[0], "ohm");
  EXPECT_EQ(tables_.SensorDefaultUnits()[15], "mV");
  EXPECT_EQ(tables_.SensorDefaultLower()[15], "-50.000");
  EXPECT_EQ(tables_.SensorDefaultUpper()[24], "2315.000");  // Type W5
  EXPECT_EQ(tables_.SensorDefaultLower()[29], "-99999.000");
  EXPECT_EQ(tables_.SensorDefaultUnits()[35], "%");
}

TEST_F(GlobalFileTest, WiringFollowsTheSensorKind) {
  const StringTable& names = tables_.SensorTypeNames();
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    const std::string& n = names[static_cast<std::size_t>(i)];
    int expected = 0;  // resistance inputs: the user picks
    if (n == "Millivolt" || n.rfind("Type ", 0) == 0 || n == "Custom TC") expected = 2;
    if (n.rfind("POT ", 0) == 0) expected = 3;
    EXPECT_EQ(CglobalFile::FixedWiringOfSensorIndex(i), expected) << n;
  }
  EXPECT_EQ(CglobalFile::FixedWiringOfSensorIndex(SensorIndex("Custom RTD")), 0);
  EXPECT_THROW(CglobalFile::FixedWiringOfSensorIndex(-1), std::invalid_argument);
  EXPECT_THROW(CglobalFile::FixedWiringOfSensorIndex(36), std::invalid_argument);
}

TEST_F(GlobalFileTest, UnitFamiliesOfferOnlyMatchingUnits) {
  auto offered = [&](const std::string& sensor) {
    return tables_.FamilyNames(CglobalFile::FamilyOfSensorIndex(SensorIndex(sensor)));
  };
  EXPECT_EQ(offered("OHM"), StringTable{"ohm"});
  EXPECT_EQ(offered("Millivolt"), StringTable{"mV"});
  EXPECT_EQ(offered("POT 4000 ohms"), StringTable{"%"});
  EXPECT_EQ(offered("POT 150 ohms"), StringTable{"%"});
  const StringTable temperature{"degC", "degF", "degR", "Kelvin"};
  EXPECT_EQ(offered("Pt100"), temperature);
  EXPECT_EQ(offered("Custom RTD"), temperature);
  EXPECT_EQ(offered("Type K"), temperature);
  EXPECT_EQ(offered("Custom TC"), temperature);

  EXPECT_EQ(tables_.FamilyCodes(UnitFamily::Ohm), StringTable{"37"});
  EXPECT_EQ(tables_.FamilyCodes(UnitFamily::Millivolt), StringTable{"36"});
  EXPECT_EQ(tables_.FamilyCodes(UnitFamily::Percent), StringTable{"57"});
  EXPECT_EQ(tables_.FamilyCodes(UnitFamily::Temperature), (StringTable{"32", "33", "34", "35"}));
  // A family's codes name the same units in the table of all PV units.
  for (UnitFamily f :
       {UnitFamily::Temperature, UnitFamily::Ohm, UnitFamily::Millivolt, UnitFamily::Percent}) {
    for (std::size_t i = 0; i < tables_.FamilyCodes(f).size(); ++i) {
      EXPECT_EQ(CglobalFile::NameOfCode(tables_.PvUnitNames(), tables_.PvUnitCodes(),
                                        std::stoi(tables_.FamilyCodes(f)[i])),
                tables_.FamilyNames(f)[i]);
    }
  }
}

TEST_F(GlobalFileTest, TableFileCommentHeaders) {
  const std::string rule = "/" + std::string(57, '*');
  for (const StringTable* header :
       {&tables_.CustomTcHeader(), &tables_.CustomRtdHeader(), &tables_.SpecialCurveHeader()}) {
    EXPECT_EQ(header->front(), rule);
    EXPECT_EQ(header->back(), rule);
    for (const std::string& line : *header) EXPECT_EQ(line.rfind("/*", 0), 0u) << line;
  }
  EXPECT_EQ(tables_.CustomTcHeader().size(), 8u);
  EXPECT_EQ(tables_.CustomRtdHeader().size(), 8u);
  EXPECT_EQ(tables_.SpecialCurveHeader().size(), 7u);
  EXPECT_EQ(tables_.CustomTcHeader()[1], "/*\tCustom TC Table Definition");
  EXPECT_EQ(tables_.CustomTcHeader()[4], "/*\t\t-100 <= X(i) <= 1000 mV");
  EXPECT_EQ(tables_.CustomRtdHeader()[4], "/*\t\t0 < X(i) <= 4000 Ohms");
  EXPECT_EQ(tables_.CustomRtdHeader()[6], "/*\t\t2 <= Size <= 500");
  EXPECT_EQ(tables_.SpecialCurveHeader()[1], "/*\tLinearization Table( Special Curve ) Definition");
  EXPECT_EQ(tables_.SpecialCurveHeader()[3], "/*\t\t-15 <= X(i), Y(i) <= 115 %");
}

TEST(DisplayFormats, NumbersAsThePanelsShowThem) {
  EXPECT_EQ(FormatRange(1000.0), "1000.000");
  EXPECT_EQ(FormatRange(-100.0), "-100.000");
  EXPECT_EQ(FormatRange(0.5), "0.500");
  EXPECT_EQ(FormatRange(1.23456), "1.235");
  EXPECT_EQ(FormatSpan(10.0), "10.00");
  EXPECT_EQ(FormatSpan(0.5), "0.50");
  EXPECT_EQ(FormatSpan(0.0), "0.00");
  EXPECT_EQ(FormatInteger(16777215), "16777215");
  EXPECT_EQ(FormatInteger(-3), "-3");
  // Device values can be NaN or infinite; the texts stay short and readable.
  EXPECT_EQ(FormatRange(std::nan("")), " nan");
  EXPECT_EQ(FormatRange(-INFINITY), "-inf");
  EXPECT_EQ(FormatSpan(INFINITY), "inf");
}

}  // namespace
}  // namespace va5
