#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "detect/FileSystem.h"
#include "detect/VolumeDetection.h"
#include "device/sim/demo/FileSystemBuilders.h"

namespace kalvorin::detect {
namespace {

using demo::ExtKind;

std::vector<std::uint8_t> Buffer() { return std::vector<std::uint8_t>(kWorkBufferBytes, 0); }

std::vector<std::uint8_t> BufferWith(const std::vector<std::uint8_t>& head) {
  auto buffer = Buffer();
  std::copy(head.begin(), head.end(), buffer.begin());
  return buffer;
}

void Put(std::vector<std::uint8_t>& buffer, std::size_t offset, const std::string& bytes) {
  std::memcpy(buffer.data() + offset, bytes.data(), bytes.size());
}

media::InSupport Untouched() {
  media::InSupport identity;
  identity.TypeVolume = 1;
  identity.LibelleVolume = "INCONNU";
  identity.InfoVolume = "ID 1 - RAID 1 (2 HD) - Début Raid au sct 0";
  return identity;
}

TEST(IdentifyFileSystem, ZerosAreNothingAndWriteNothing) {
  auto identity = Untouched();
  EXPECT_FALSE(IdentifyFileSystem(identity, Buffer().data()));
  EXPECT_EQ(identity.TypeVolume, 1);
  EXPECT_EQ(identity.LibelleVolume, "INCONNU");
  EXPECT_EQ(identity.InfoVolume, "ID 1 - RAID 1 (2 HD) - Début Raid au sct 0");
}

TEST(IdentifyFileSystem, ExtKindsByJournal) {
  struct Case {
    std::uint8_t backupType;
    std::string blockMap;  // bytes 1292..1295
    int kind;
    std::string label;
  };
  const Case cases[] = {
      {0, std::string("\x0A\xF3\0\0", 4), 2, "Linux Ext2"},
      {1, std::string("\x0A\xF3\x01\0", 4), 4, "Linux Ext4"},
      {1, std::string("\x0B\xF3\0\0", 4), 3, "Linux Ext3"},
      {1, std::string("\0\0\x0A\xF3", 4), 3, "Linux Ext3"},  // only the low half counts
      {7, std::string("\0\0\0\0", 4), 3, "Linux Ext3"},
  };
  for (const Case& c : cases) {
    auto buffer = Buffer();
    Put(buffer, 1080, "\x53\xEF");
    buffer[1277] = c.backupType;
    Put(buffer, 1292, c.blockMap);
    auto identity = Untouched();
    EXPECT_TRUE(IdentifyFileSystem(identity, buffer.data()));
    EXPECT_EQ(identity.TypeVolume, c.kind) << c.label;
    EXPECT_EQ(identity.LibelleVolume, c.label);
  }
}

TEST(IdentifyFileSystem, ExtWinsOverAnOldBootSector) {
  auto buffer = Buffer();
  Put(buffer, 3, "MSDOS5.0");
  Put(buffer, 1080, "\x53\xEF");
  auto identity = Untouched();
  EXPECT_TRUE(IdentifyFileSystem(identity, buffer.data()));
  EXPECT_EQ(identity.TypeVolume, 2);
  EXPECT_EQ(identity.LibelleVolume, "Linux Ext2");
}

TEST(IdentifyFileSystem, ExtColumnOneText) {
  struct Case {
    std::string name, mounted, expected;
  };
  const Case cases[] = {
      {"racine", "/mnt/x", "racine"},
      {"", "/srv/donnees", "/srv/donnees"},
      {"", "", ""},
      {"0123456789ABCDEF", "", "0123456789ABCDEF"},  // fills all 16 bytes
      {"", std::string(64, 'm'), std::string(64, 'm')},
      {"Donn\xE9"
       "es",
       "", "Données"},  // 8-bit text converted
  };
  for (const Case& c : cases) {
    const auto buffer = BufferWith(demo::MakeExtVolume({ExtKind::kExt4, c.name, c.mounted}, 2048));
    auto identity = Untouched();
    ASSERT_TRUE(IdentifyFileSystem(identity, buffer.data()));
    EXPECT_EQ(identity.InfoVolume, c.expected);
  }
}

TEST(IdentifyFileSystem, ExtBuildersGiveTheirKind) {
  const std::pair<ExtKind, int> kinds[] = {
      {ExtKind::kExt2, 2}, {ExtKind::kExt3, 3}, {ExtKind::kExt4, 4}};
  for (const auto& [kind, code] : kinds) {
    const auto buffer = BufferWith(demo::MakeExtVolume({kind, "v", ""}, 4096));
    auto identity = Untouched();
    ASSERT_TRUE(IdentifyFileSystem(identity, buffer.data()));
    EXPECT_EQ(identity.TypeVolume, code);
  }
}

TEST(IdentifyFileSystem, FatTextsFromTheExtendedBootRecord) {
  struct Case {
    demo::FatVolume volume;
    std::string libelle, info;
  };
  const Case cases[] = {
      {{true, "MSDOS5.0", "CLE USB", true}, "FAT32", "CLE USB"},
      {{false, "MSDOS5.0", "DISQUETTE", true}, "FAT16", "DISQUETTE"},
      {{true, "MSDOS5.0", "NO NAME", true}, "FAT32", "NO NAME"},
      {{true, "MSDOS5.0", "", true}, "FAT32", ""},
      {{false, "MSDOS3.3", "X", false}, "FAT", ""},  // no extended boot record
  };
  for (const Case& c : cases) {
    const auto buffer = BufferWith(demo::MakeFatVolume(c.volume, 65536));
    auto identity = Untouched();
    ASSERT_TRUE(IdentifyFileSystem(identity, buffer.data())) << c.volume.label;
    EXPECT_EQ(identity.TypeVolume, 5);
    EXPECT_EQ(identity.LibelleVolume, c.libelle);
    EXPECT_EQ(identity.InfoVolume, c.info);
  }
}

TEST(IdentifyFileSystem, FatWithOtherOemNamesIsNotRecognised) {
  for (const std::string oem : {"MSWIN4.1", "mkfs.fat", "msdos5.0", "MSDO"}) {
    const auto buffer = BufferWith(demo::MakeFatVolume({true, oem, "L", true}, 65536));
    auto identity = Untouched();
    EXPECT_FALSE(IdentifyFileSystem(identity, buffer.data())) << oem;
    EXPECT_EQ(identity.LibelleVolume, "INCONNU");
  }
}

TEST(IdentifyFileSystem, SignaturesThatKeepColumnOne) {
  struct Case {
    std::vector<std::uint8_t> head;
    int kind;
    std::string label;
  };
  const Case cases[] = {
      {demo::MakeNtfsVolume(2048), 6, "NTFS"},
      {demo::MakeHfsPlusVolume(2048), 7, "HFS+"},
      {demo::MakeXfsVolume(2048), 8, "XFS"},
  };
  for (const Case& c : cases) {
    const auto buffer = BufferWith(c.head);
    auto identity = Untouched();
    ASSERT_TRUE(IdentifyFileSystem(identity, buffer.data())) << c.label;
    EXPECT_EQ(identity.TypeVolume, c.kind);
    EXPECT_EQ(identity.LibelleVolume, c.label);
    EXPECT_EQ(identity.InfoVolume, "ID 1 - RAID 1 (2 HD) - Début Raid au sct 0");
  }
}

TEST(IdentifyFileSystem, FirstMatchDecides) {
  // "MSDOS" at 3 and "H+" at 1024: FAT is tested first.
  auto buffer = BufferWith(demo::MakeFatVolume({}, 65536));
  Put(buffer, 1024, "H+");
  auto identity = Untouched();
  ASSERT_TRUE(IdentifyFileSystem(identity, buffer.data()));
  EXPECT_EQ(identity.TypeVolume, 5);
  // "NTFS" OEM with "H+": NTFS.
  buffer = BufferWith(demo::MakeNtfsVolume(2048));
  Put(buffer, 1024, "H+");
  ASSERT_TRUE(IdentifyFileSystem(identity, buffer.data()));
  EXPECT_EQ(identity.TypeVolume, 6);
  // "H+" and XFSB: HFS+.
  buffer = BufferWith(demo::MakeXfsVolume(2048));
  Put(buffer, 1024, "H+");
  ASSERT_TRUE(IdentifyFileSystem(identity, buffer.data()));
  EXPECT_EQ(identity.TypeVolume, 7);
}

}  // namespace
}  // namespace kalvorin::detect
