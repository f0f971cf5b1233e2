#include "standin/shell/message_window.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using host::ShownMessage;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a shown message back: every \xHH is one byte, every other byte is itself.
std::string readBack(const std::string& shown) {
  std::string text;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == '\\' && i + 3 < shown.size() && shown[i + 1] == 'x' &&
        hexValue(shown[i + 2]) >= 0 && hexValue(shown[i + 3]) >= 0) {
      text += static_cast<char>(hexValue(shown[i + 2]) * 16 + hexValue(shown[i + 3]));
      i += 3;
    } else {
      text += shown[i];
    }
  }
  return text;
}

TEST(ShownMessage, EscapesControlsAndKeepsOrdinaryMessages) {
  struct Case {
    std::string text, shown;
  };
  const Case cases[] = {
      {"Output to C:\\Temp\\Site", "Output to C:\\Temp\\Site"},
      {"C:\\new\\temp\\records\\", "C:\\new\\temp\\records\\"},
      {"Caf\xC3\xA9 \xF0\x9F\x98\x80 100%", "Caf\xC3\xA9 \xF0\x9F\x98\x80 100%"},
      {"a\nOutput to C:\\Temp\\x", "a\\x0AOutput to C:\\Temp\\x"},
      {"cr\r tab\t del\x7F", "cr\\x0D tab\\x09 del\\x7F"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"esc\x1B[2J", "esc\\x1B[2J"},
      {"next line \xC2\x85 and \xC2\xA0", "next line \\xC2\\x85 and \xC2\xA0"},
      {"C:\\x0A\\X7f\\xg1\\x1", "C:\\x5Cx0A\\x5CX7f\\xg1\\x1"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShownMessage(c.text), c.shown);
    EXPECT_EQ(readBack(c.shown), c.text);
  }
}

// Any bytes at all: the shown text holds no control character and reads back as the message.
TEST(ShownMessage, AnyMessageIsOneLineThatReadsBack) {
  std::mt19937 random(20261208);
  const std::string alphabet = std::string("\\xX0aF9\n\r\t\x7F\xC2\x85\x80 z", 16) + '\0';
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 12, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    std::string shown = ShownMessage(text);
    for (size_t i = 0; i < shown.size(); ++i) {
      unsigned char byte = static_cast<unsigned char>(shown[i]);
      ASSERT_TRUE(byte >= 0x20 && byte != 0x7F) << "control in " << shown;
      ASSERT_FALSE(byte == 0xC2 && i + 1 < shown.size() &&
                   static_cast<unsigned char>(shown[i + 1]) <= 0x9F &&
                   static_cast<unsigned char>(shown[i + 1]) >= 0x80)
          << "C1 control in " << shown;
    }
    ASSERT_EQ(readBack(shown), text) << shown;
  }
}

}  // namespace
