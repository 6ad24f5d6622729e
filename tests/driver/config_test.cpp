#include "driver/config.h"

#include <gtest/gtest.h>

#include "driver/WBinout.h"
#include "stdio_redirect.h"

namespace kelb {
namespace {

class ConfigTest : public test::ChannelFixture {
 protected:
  // Reads an ini with the given content (none when content is null); returns what was sent.
  std::string Read(const char* content) {
    if (content) io.WriteFile("kelb701.ini", content);
    ReadConfiguration();
    return io.Output();
  }
  // Reads the ini and expects the hash size and weak level it gives.
  void ExpectSizes(const char* content, int32_t hashSizeMb, int32_t weakLevel) {
    SCOPED_TRACE(content);
    Read(content);
    EXPECT_EQ(settings.hashSizeMb, hashSizeMb);
    EXPECT_EQ(settings.weakLevel, weakLevel);
  }
  // Reads the ini and expects the hash size and book switch it gives.
  void ExpectHashAndBook(const char* content, int32_t hashSizeMb, bool bookEnabled) {
    SCOPED_TRACE(content);
    Read(content);
    EXPECT_EQ(settings.hashSizeMb, hashSizeMb);
    EXPECT_EQ(settings.bookEnabled, bookEnabled);
  }
};

TEST_F(ConfigTest, MissingFileKeepsDefaults) {
  EXPECT_EQ(Read(nullptr), "hash size = 0 MB\n");
  EXPECT_EQ(settings.hashSizeMb, 0);
  EXPECT_EQ(settings.weakLevel, 0);
  EXPECT_TRUE(settings.weakDelay);
  EXPECT_TRUE(settings.bookEnabled);
  EXPECT_TRUE(settings.resignEnabled);
  EXPECT_TRUE(settings.learnEnabled);
  EXPECT_FALSE(settings.logEnabled);
  EXPECT_FALSE(std::filesystem::exists("kelb701.log"));
}

TEST_F(ConfigTest, OutOfRangeValuesFallBack) {
  Read("hashsize=2000\nbook=2\nlog=2\nweak=51\n");
  EXPECT_EQ(settings.hashSizeMb, 0);  // not capped to 1023
  EXPECT_TRUE(settings.bookEnabled);
  EXPECT_FALSE(settings.logEnabled);
  EXPECT_EQ(settings.weakLevel, 0);
}

TEST_F(ConfigTest, KeysAreCaseSensitive) { ExpectHashAndBook("Hashsize=64\nBOOK=0\n", 0, true); }

TEST_F(ConfigTest, KeyValueSplitting) {
  ExpectSizes("hashsize = 64 ; a comment\nweak=1 2\n", 64, 12);  // blanks inside the value vanish
}

TEST_F(ConfigTest, HexadecimalSignAndBlanks) {
  ExpectSizes("hashsize=$20\nweak==+7\n", 32, 7);
  ExpectSizes("hashsize=12x\nweak=-1\n", 0, 0);
}

TEST_F(ConfigTest, LastHashAndWeakLineWins) {
  // An invalid value writes the fallback.
  ExpectSizes("hashsize=64\nweak=5\nhashsize=16\nweak=oops\n", 16, 0);
}

TEST_F(ConfigTest, SwitchesOnlyEverSwitchOneWay) {
  Read("book=0\nbook=1\nresign=0\nresign=x\nlearn=0\nweakdelay=0\nweakdelay=1\n");
  EXPECT_FALSE(settings.bookEnabled);
  EXPECT_FALSE(settings.resignEnabled);
  EXPECT_FALSE(settings.learnEnabled);
  EXPECT_FALSE(settings.weakDelay);
  Read("log=1\nlog=0\n");
  EXPECT_TRUE(settings.logEnabled);
}

TEST_F(ConfigTest, LongLineIsCutAndItsTailIgnored) {
  // The tail of an over-long comment line would read as a key of its own if it were taken as a new line.
  std::string longLine = "; " + std::string(253, 'c') + "\nhashsize=8\n";
  std::string tricky = "weak=3" + std::string(249, ' ') + "hashsize=99\n";
  ExpectSizes((longLine + tricky).c_str(), 8, 3);
  // A value beyond character 255 is cut off.
  Read(("weak=" + std::string(250, ' ') + "4\n").c_str());
  EXPECT_EQ(settings.weakLevel, 0);
}

TEST_F(ConfigTest, CrLfFileReadsLikeLf) { ExpectHashAndBook("hashsize=64\r\nbook=0\r\n", 64, false); }

TEST_F(ConfigTest, WeakNoticeAndLogCreatedAfresh) {
  io.WriteFile("kelb701.log", "old content\n");
  EXPECT_EQ(Read("weak=10\nlog=1\n"), "hash size = 0 MB\ntelluser Weak level 10 is enabled!\n");
  CloseLog();
  EXPECT_EQ(io.ReadFile("kelb701.log"),
            "into WB< hash size = 0 MB\r\ninto WB< telluser Weak level 10 is enabled!\r\n");
}

TEST(IntegerWords, StrictAndLenientConversions) {
  int32_t v = -99;
  EXPECT_TRUE(ParseInteger("  -12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(ParseInteger("$ff", v));
  EXPECT_EQ(v, 255);
  EXPECT_TRUE(ParseInteger("-$10", v));
  EXPECT_EQ(v, -16);
  v = 5;
  EXPECT_FALSE(ParseInteger("", v));
  EXPECT_FALSE(ParseInteger("12 ", v));
  EXPECT_FALSE(ParseInteger("+", v));
  EXPECT_FALSE(ParseInteger("$", v));
  EXPECT_FALSE(ParseInteger("2147483648", v));
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(ParseInteger("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);

  EXPECT_EQ(IntegerOfWord("6000"), 6000);
  EXPECT_EQ(IntegerOfWord("12abc"), 12);
  EXPECT_EQ(IntegerOfWord("0.5"), 0);
  EXPECT_EQ(IntegerOfWord("abc"), 0);
  EXPECT_EQ(IntegerOfWord(""), 0);
  EXPECT_EQ(IntegerOfWord("99999999999"), INT32_MAX);
}

}  // namespace
}  // namespace kelb
