#include <gtest/gtest.h>

#include <string>

#include "comm/PortDefinition.h"

namespace va5 {
namespace {

struct Good {
  const char* text;
  const char* name;
  long baud;
  Parity parity;
  int dataBits;
  StopBits stopBits;
};

TEST(PortDefinition, ReadsTheSettingsItUnderstands) {
  const Good cases[] = {
      {"COM3: baud=9600 parity=N data=8 stop=1", "COM3", 9600, Parity::None, 8, StopBits::One},
      {"/dev/ttyUSB0: baud=19200 parity=e data=7 stop=2", "/dev/ttyUSB0", 19200, Parity::Even, 7,
       StopBits::Two},
      {"  COM1 :BAUD=1200  PARITY=O DATA=5 STOP=1.5 ", "COM1", 1200, Parity::Odd, 5,
       StopBits::OneAndHalf},
      {"COM2: baud=96 parity=M", "COM2", 9600, Parity::Mark, 8, StopBits::One},
      {"COM2: parity=S to=on xon=off odsr=off octs=off dtr=on rts=tg idsr=off", "COM2", 9600,
       Parity::Space, 8, StopBits::One},
      {"COM4: 4800,e,7,2", "COM4", 4800, Parity::Even, 7, StopBits::Two},
      {"COM4: 96,n,8,1,p", "COM4", 9600, Parity::None, 8, StopBits::One},
      {"SIM1:", "SIM1", 9600, Parity::None, 8, StopBits::One},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.text);
    PortDefinition def;
    ASSERT_EQ(ParsePortDefinition(c.text, def), ResultOk);
    EXPECT_EQ(def.portName, c.name);
    EXPECT_EQ(def.baud, c.baud);
    EXPECT_EQ(def.parity, c.parity);
    EXPECT_EQ(def.dataBits, c.dataBits);
    EXPECT_EQ(def.stopBits, c.stopBits);
  }
}

TEST(PortDefinition, NoNameBeforeTheColonIsABadDefinition) {
  for (const char* text : {"COM3 baud=9600 parity=N", "", ": baud=9600", "   :"}) {
    SCOPED_TRACE(text);
    PortDefinition def;
    EXPECT_EQ(ParsePortDefinition(text, def), ResultBadPortDefinition);
  }
}

TEST(PortDefinition, UnreadableSettingsFailTheOpen) {
  for (const char* text :
       {"COM3: baud=fast", "COM3: baud=0", "COM3: baud=-9600", "COM3: parity=X", "COM3: data=9",
        "COM3: data=4", "COM3: stop=3", "COM3: stop=", "COM3: colour=blue", "COM3: baud",
        "COM3: dtr=maybe", "COM3: 9600,n,8,1,x,y", "COM3: 9600,q", "COM3: 9600,n,8,1.2"}) {
    SCOPED_TRACE(text);
    PortDefinition def;
    EXPECT_EQ(ParsePortDefinition(text, def), ResultPortOpenFailed);
  }
}

TEST(PortDefinition, OnlyTheFirst256CharactersCount) {
  PortDefinition def;
  // Padding pushes "data=9" beyond the cut, so it is never read.
  std::string text = "COM3: baud=9600";
  text += std::string(MaxPortDefinition - text.size(), ' ');
  EXPECT_EQ(ParsePortDefinition(text + "data=9", def), ResultOk);
  // A name without a colon within the first 256 characters.
  EXPECT_EQ(ParsePortDefinition(std::string(300, 'C') + ":", def), ResultBadPortDefinition);
}

}  // namespace
}  // namespace va5
