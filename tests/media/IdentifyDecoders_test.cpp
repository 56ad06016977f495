// The decoders of the identification answers, fed directly.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "media/Identify.h"

namespace kalvorin::media {
namespace {

// 256 IDENTIFY words with `text` stored from word `first` on, two characters
// per word, the first in the high byte.
std::array<std::uint16_t, 256> Words(const std::string& text, int first) {
  std::array<std::uint16_t, 256> words{};
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const auto high = static_cast<std::uint8_t>(text[i]);
    const auto low = i + 1 < text.size() ? static_cast<std::uint8_t>(text[i + 1]) : 0;
    words[static_cast<std::size_t>(first) + i / 2] = static_cast<std::uint16_t>(high << 8 | low);
  }
  return words;
}

std::string Padded(const std::string& text, std::size_t size) {
  return text + std::string(size - text.size(), ' ');
}

TEST(IdentifyWordsToText, TakesTheHighByteFirstAndCutsTrailingBlanks) {
  struct Case {
    std::string stored;
    std::string expected;
  };
  const Case cases[] = {
      {Padded("WDC WD10EZEX-08WN4A0", 40), "WDC WD10EZEX-08WN4A0"},
      {Padded("ST1000DM003-1CH162", 40), "ST1000DM003-1CH162"},
      {Padded("  INNER BLANKS  STAY", 40), "  INNER BLANKS  STAY"},
      {std::string(40, 'X'), std::string(40, 'X')},
      {Padded("A", 40), "A"},
      {std::string(40, ' '), " "},  // the first character is never cut
  };
  for (const auto& c : cases) {
    const auto words = Words(c.stored, 27);
    EXPECT_EQ(IdentifyWordsToText(words.data(), 27, 46), c.expected) << '"' << c.stored << '"';
  }
}

TEST(IdentifyWordsToText, ReadsOnlyTheNamedWords) {
  // Serial in words 10..19, model from word 27: neither leaks into the other.
  auto words = Words(Padded("WD-WCC6Y1234567", 20), 10);
  const auto model = Words(Padded("MODEL", 40), 27);
  for (int i = 27; i <= 46; ++i)
    words[static_cast<std::size_t>(i)] = model[static_cast<std::size_t>(i)];
  EXPECT_EQ(IdentifyWordsToText(words.data(), 10, 19), "WD-WCC6Y1234567");
  EXPECT_EQ(IdentifyWordsToText(words.data(), 27, 46), "MODEL");
}

TEST(IdentifyWordsToText, AZeroByteEndsTheText) {
  std::string stored = "AB";
  stored += '\0';
  stored += "CD  ";
  const auto words = Words(stored, 27);
  EXPECT_EQ(IdentifyWordsToText(words.data(), 27, 46), "AB");
  EXPECT_EQ(IdentifyWordsToText(Words("", 27).data(), 27, 46), "");
}

// A descriptor buffer holding `text` (no terminator added) at byte 40,
// exactly as large as needed plus `tail` bytes.
std::vector<std::uint8_t> Descriptor(const std::string& text, std::size_t tail = 1) {
  std::vector<std::uint8_t> buffer(40 + text.size() + tail, 0);
  std::copy(text.begin(), text.end(), buffer.begin() + 40);
  return buffer;
}

TEST(DecodeDescriptorText, DecodesHexOrCopiesPlainTextThenTrims) {
  struct Case {
    const char* name;
    std::string stored;
    std::string expected;
  };
  const Case cases[] = {
      {"hex pairs, blanks as 20", "2020202057442d5743", "WD-WC"},
      {"upper-case hex", "20204142432D3132", "ABC-12"},
      {"white space counts as the digit 0", "414243\t 0", "ABC"},
      {"trailing odd nibble dropped", "4142434", "ABC"},
      {"decoded zero ends the text", "41004242", "A"},
      {"decoded blanks only: not trimmed", "2020", "  "},
      {"non-hex character: plain text", "WD-WCC6Y1234567", "WD-WCC6Y1234567"},
      {"plain, blank-padded", "  ABC123  ", "ABC123"},
      {"hex of an unprintable byte: plain text", "0102", "0102"},
      {"hex of a byte above 0x7E: plain text", "41e9", "41e9"},
      {"raw byte 0x01",
       "AB\x01"
       "CD",
       ""},
      {"raw byte 0x01 first",
       "\x01"
       "ABC",
       ""},
      {"raw byte above 0x7F", "Caf\xE9", ""},
      {"raw no-break space",
       "\xA0"
       "ABC",
       ""},
      {"empty text", "", ""},
      {"tab inside plain text stops the copy", "AB\tCDg", ""},
  };
  for (const auto& c : cases) {
    const auto buffer = Descriptor(c.stored);
    EXPECT_EQ(DecodeDescriptorText(buffer.data(), buffer.size(), 40), c.expected) << c.name;
  }
}

TEST(DecodeDescriptorText, NeverReadsOutsideTheAnswer) {
  const auto buffer = Descriptor("ABC123", 1);
  const auto size = buffer.size();
  EXPECT_EQ(DecodeDescriptorText(buffer.data(), size, 0), "");
  EXPECT_EQ(DecodeDescriptorText(buffer.data(), size, -5), "");
  EXPECT_EQ(DecodeDescriptorText(buffer.data(), size, static_cast<std::int64_t>(size)), "");
  EXPECT_EQ(DecodeDescriptorText(buffer.data(), size, static_cast<std::int64_t>(size) + 1), "");
  EXPECT_EQ(DecodeDescriptorText(buffer.data(), size, INT64_MAX), "");

  // No zero byte before the end: the text ends with the buffer (the vector
  // is exactly as large, so a read past it is caught by the sanitizer).
  const auto unterminated = Descriptor("  SERIALZ", 0);
  EXPECT_EQ(DecodeDescriptorText(unterminated.data(), unterminated.size(), 40), "SERIALZ");
  const auto hexUnterminated = Descriptor("414243", 0);
  EXPECT_EQ(DecodeDescriptorText(hexUnterminated.data(), hexUnterminated.size(), 40), "ABC");
  EXPECT_EQ(DecodeDescriptorText(unterminated.data(), unterminated.size(),
                                 static_cast<std::int64_t>(unterminated.size()) - 1),
            "Z");
}

TEST(ApplyManagementAnswer, TakesTheModelWithoutTheControllerSuffix) {
  struct Case {
    std::string model;
    std::string expected;
  };
  const Case cases[] = {
      {"WDC WD10EZEX-08WN4A0 SCSI Disk Device", "WDC WD10EZEX-08WN4A0"},
      {"Samsung SSD 860", "Samsung SSD 860"},
      {"ABC SCSI Disk Device XYZ", "ABC"},
      {" SCSI Disk Device", ""},
      {"USB  SCSI Disk", "USB  SCSI Disk"},
      {"Disque \xC3\xA9tendu", "Disque \xE9tendu"},  // stored as 8-bit text
  };
  for (const auto& c : cases) {
    InSupport identity;
    identity.Modele = "A MUCH LONGER MODEL FOUND BY AN EARLIER SOURCE";
    ApplyManagementAnswer(identity, {"Model=" + c.model});
    EXPECT_EQ(identity.Modele, c.expected) << c.model;
  }
}

TEST(ApplyManagementAnswer, TakesTheSerialOnlyWhenNoneWasFound) {
  InSupport found;
  found.NoSerie = "WD-SMART";
  ApplyManagementAnswer(found, {"SerialNumber=  WMI SERIAL  "});
  EXPECT_EQ(found.NoSerie, "WD-SMART");

  InSupport empty;
  ApplyManagementAnswer(empty, {"SerialNumber=  WMI SERIAL 42  "});
  EXPECT_EQ(empty.NoSerie, "WMISERIAL42");
}

TEST(ApplyManagementAnswer, ReadsEachPropertyByItsWholeName) {
  InSupport identity;
  ApplyManagementAnswer(identity, {"Caption=X", "InterfaceType=USB",
                                   "PNPDeviceID=USBSTOR\\DISK&VEN_X\\201804ABCDEF&0",
                                   "ModelNumber=not the model", "Model=Dock", "Size=42"});
  EXPECT_EQ(identity.TypeInterface, "USB");
  EXPECT_EQ(identity.PNPDeviceID, "USBSTOR\\DISK&VEN_X\\201804ABCDEF&0");
  EXPECT_EQ(identity.Modele, "Dock");

  InSupport untouched;
  untouched.TypeInterface = "IDE";
  ApplyManagementAnswer(untouched, {"Name=\\\\.\\PHYSICALDRIVE1"});
  EXPECT_EQ(untouched.TypeInterface, "IDE");
}

TEST(ApplyManagementAnswer, BoundsTheModelAndSerial) {
  InSupport identity;
  ApplyManagementAnswer(
      identity, {"Model=" + std::string(400, 'M'), "SerialNumber=" + std::string(400, 'S')});
  EXPECT_EQ(identity.Modele, std::string(255, 'M'));
  EXPECT_EQ(identity.NoSerie, std::string(255, 'S'));
}

}  // namespace
}  // namespace kalvorin::media
