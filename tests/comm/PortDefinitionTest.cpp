#include <gtest/gtest.h>

#include <string>

#include "comm/PortDefinition.h"

namespace va5 {
namespace {

struct Good {
  const char* text;
  long baud;
  Parity parity;
  int dataBits;
  StopBits stopBits;
};

TEST(PortSettings, ReadsTheSettingsItUnderstands) {
  const Good cases[] = {
      {"baud=9600 parity=N data=8 stop=1", 9600, Parity::None, 8, StopBits::One},
      {"baud=19200 parity=e data=7 stop=2", 19200, Parity::Even, 7, StopBits::Two},
      {"  BAUD=1200  PARITY=O DATA=5 STOP=1.5 ", 1200, Parity::Odd, 5, StopBits::OneAndHalf},
      {"baud=96 parity=M", 9600, Parity::Mark, 8, StopBits::One},
      {"parity=S to=on xon=off odsr=off octs=off dtr=on rts=tg idsr=off", 9600, Parity::Space, 8,
       StopBits::One},
      {"4800,e,7,2", 4800, Parity::Even, 7, StopBits::Two},
      {"96,n,8,1,p", 9600, Parity::None, 8, StopBits::One},
      {"", 9600, Parity::None, 8, StopBits::One},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.text);
    PortSettings settings;
    settings.baud = 1;  // whatever was there before does not leak into the result
    ASSERT_TRUE(ParsePortSettings(c.text, settings));
    EXPECT_EQ(settings.baud, c.baud);
    EXPECT_EQ(settings.parity, c.parity);
    EXPECT_EQ(settings.dataBits, c.dataBits);
    EXPECT_EQ(settings.stopBits, c.stopBits);
  }
  // The defaults are the HART modem's line.
  EXPECT_EQ(PortSettings{}, (PortSettings{9600, Parity::None, 8, StopBits::One}));
}

TEST(PortSettings, UnreadableSettingsAreRefusedAndLeaveTheOldOnes) {
  for (const char* text :
       {"baud=fast", "baud=0", "baud=-9600", "parity=X", "data=9", "data=4", "stop=3", "stop=",
        "colour=blue", "baud", "dtr=maybe", "9600,n,8,1,x,y", "9600,q", "9600,n,8,1.2",
        // What used to be a whole definition: the name is no setting.
        "COM3: baud=9600"}) {
    SCOPED_TRACE(text);
    PortSettings settings{1200, Parity::Odd, 7, StopBits::Two};
    EXPECT_FALSE(ParsePortSettings(text, settings));
    EXPECT_EQ(settings, (PortSettings{1200, Parity::Odd, 7, StopBits::Two}));
  }
}

}  // namespace
}  // namespace va5
