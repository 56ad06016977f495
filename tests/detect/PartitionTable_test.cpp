#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "DetectFixture.h"
#include "detect/PartitionTable.h"
#include "detect/VolumeDetection.h"
#include "device/WindowsLayouts.h"
#include "device/sim/demo/ImageFile.h"
#include "device/sim/demo/PartitionBuilders.h"

namespace kalvorin::detect {
namespace {

using demo::GptPartition;
using demo::LogicalDrive;
using demo::MbrEntry;
using Slot = std::tuple<int, std::uint64_t, std::uint64_t>;  // type, first, count

constexpr int kDisk = 1;

class PartitionTableTest : public test::DetectFixture {
 protected:
  std::uint64_t sectors = 1 << 20;
  media::listeSupport disk;

  void SetUp() override {
    AddDisk(kDisk, sectors);
    disk = DiskNode(kDisk, sectors);
  }
  bool Read() { return ReadPartitionTable(*platform, window, identity, disk); }
  // The slots up to the first free one.
  std::vector<Slot> Slots() const {
    std::vector<Slot> slots;
    for (const auto& slot : identity.TablePartition) {
      if (slot.TypePartition == 0) break;
      slots.emplace_back(slot.TypePartition, slot.FirstSct, slot.NBSct);
    }
    return slots;
  }
  void Sector(std::uint64_t lba, const std::vector<MbrEntry>& entries, std::uint8_t mark = 0xAA) {
    ASSERT_TRUE(demo::WriteTableSector(Image(kDisk), lba, entries, mark));
  }
};

TEST_F(PartitionTableTest, TwoPrimariesThenAFreeSlot) {
  Sector(0, {{0x07, 2048, 4096}, {0x83, 8192, 1000}});
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0x07, 2048, 4096}, {0x83, 8192, 1000}}));
  EXPECT_EQ(identity.TablePartition[2].TypePartition, 0);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(PartitionTableTest, ExtendedChainOfTheOriginalLayout) {
  Sector(0, {{0x07, 1, 99}, {0x0F, 200, 500}});
  Sector(200, {{0x83, 1, 50}, {0x05, 100, 9}});
  Sector(300, {{0x82, 1, 8}});
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0x07, 1, 99}, {0x83, 201, 50}, {0x82, 301, 8}}));
}

// Links are relative to the extended partition, drives to their own record;
// both extended types as the usual partitioning tools write them.
TEST_F(PartitionTableTest, ExtendedChainOfTheUsualToolsForBothTypes) {
  for (const std::uint8_t extendedType : {std::uint8_t{0x05}, std::uint8_t{0x0F}}) {
    const std::vector<LogicalDrive> logicals{
        {10240, 0x83, 12288, 4096}, {16384, 0x07, 18432, 2048}, {20480, 0x82, 22528, 1024}};
    ASSERT_TRUE(demo::WriteExtendedLayout(Image(kDisk), {{0x83, 2048, 8192}}, extendedType, 10240,
                                          20480, logicals));
    EXPECT_TRUE(Read());
    EXPECT_EQ(
        Slots(),
        (std::vector<Slot>{
            {0x83, 2048, 8192}, {0x83, 12288, 4096}, {0x07, 18432, 2048}, {0x82, 22528, 1024}}))
        << "extended type " << int{extendedType};
  }
}

TEST_F(PartitionTableTest, PrimaryListedAfterTheExtendedEntryStaysAbsolute) {
  Sector(0, {{0x0F, 200, 500}, {0x07, 1, 99}});
  Sector(200, {{0x83, 1, 50}});
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0x07, 1, 99}, {0x83, 201, 50}}));
}

TEST_F(PartitionTableTest, OtherTypesAreOrdinaryPartitions) {
  Sector(0, {{0x85, 100, 10}, {0x01, 200, 10}, {0xFF, 300, 10}});
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0x85, 100, 10}, {0x01, 200, 10}, {0xFF, 300, 10}}));
}

TEST_F(PartitionTableTest, MarkOfTheTableSector) {
  struct Case {
    std::uint8_t byte510, byte511;
    bool accepted;
  };
  for (const Case c : {Case{0x55, 0xAA, true}, Case{0x55, 0xBB, true}, Case{0x55, 0x00, false},
                       Case{0x54, 0xAA, false}, Case{0xAA, 0x55, false}}) {
    Sector(0, {{0x07, 2048, 100}});
    ASSERT_TRUE(demo::WriteAt(Image(kDisk), 510, {c.byte510, c.byte511}));
    EXPECT_EQ(Read(), c.accepted);
    EXPECT_EQ(Slots().size(), c.accepted ? 1u : 0u);
  }
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(PartitionTableTest, UnmarkedRecordEndsTheChainKeepingEarlierSlots) {
  Sector(0, {{0x07, 1, 99}, {0x05, 200, 500}});
  Sector(200, {{0x83, 1, 50}, {0x05, 100, 9}});
  // no record at 300
  EXPECT_FALSE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0x07, 1, 99}, {0x83, 201, 50}}));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(PartitionTableTest, UnreadableSectorZeroGivesOneMessageAndNoSlot) {
  identity.TablePartition[0] = {0x07, 5, 5};  // left from the previous disk
  machine.Disk(kDisk).ReadFault(0, 1);
  Commit();
  Sector(0, {{0x07, 2048, 100}});
  EXPECT_FALSE(Read());
  EXPECT_TRUE(Slots().empty());
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, ReadErrorText("Disque 1", 0));
  EXPECT_EQ(window.messages[0].caption, "Erreur Lecture Support");
  EXPECT_EQ(window.messages[0].style, device::kMbTaskModal | device::kMbIconError);
}

TEST_F(PartitionTableTest, UnreadableRecordNamesItsSector) {
  machine.Disk(kDisk).ReadFault(300, 1);
  Commit();
  Sector(0, {{0x07, 1, 99}, {0x0F, 200, 500}});
  Sector(200, {{0x83, 1, 50}, {0x05, 100, 9}});
  EXPECT_FALSE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0x07, 1, 99}, {0x83, 201, 50}}));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, ReadErrorText("Disque 1", 300));
}

TEST_F(PartitionTableTest, ChainsThatLoopEnd) {
  // A record linking to itself, and one linking back to the first record.
  for (const std::uint32_t link : {100u, 0u}) {
    Sector(0, {{0x05, 200, 1000}});
    Sector(200, {{0x83, 1, 10}, {0x05, 100, 10}});
    Sector(300, {{0x82, 1, 10}, {0x05, link, 10}});
    EXPECT_TRUE(Read());
    EXPECT_EQ(Slots(), (std::vector<Slot>{{0x83, 201, 10}, {0x82, 301, 10}})) << link;
  }
  // The MBR itself as the next record.
  Sector(0, {{0x07, 1, 5}, {0x05, 0, 1000}});
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0x07, 1, 5}}));
}

TEST_F(PartitionTableTest, MoreThanThirtyTwoPartitionsFillTheTableOnly) {
  std::vector<LogicalDrive> logicals;
  for (std::uint32_t i = 0; i < 40; ++i)
    logicals.push_back({2048 + i * 64, 0x83, 2049 + i * 64, 63});
  ASSERT_TRUE(
      demo::WriteExtendedLayout(Image(kDisk), {{0x07, 1, 2047}}, 0x05, 2048, 40 * 64, logicals));
  EXPECT_TRUE(Read());
  const auto slots = Slots();
  ASSERT_EQ(slots.size(), 32u);
  EXPECT_EQ(slots[0], (Slot{0x07, 1, 2047}));
  EXPECT_EQ(slots[31], (Slot{0x83, 2049 + 30 * 64, 63}));
}

TEST_F(PartitionTableTest, EndlessChainStops) {
  // Every record links to a new one: far longer than any real disk.
  const std::uint32_t records = 2000;
  Sector(0, {{0x05, 1000, records * 2}});
  for (std::uint32_t i = 0; i < records; ++i) {
    Sector(1000 + 2 * i, {{0x83, 1, 1}, {0x05, 2 * (i + 1), 2}});
  }
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots().size(), 32u);
}

TEST_F(PartitionTableTest, ProtectiveMbrOverAGptOfThreeEntries) {
  ASSERT_TRUE(demo::WriteGpt(Image(kDisk), sectors,
                             {{demo::kGuidEfiSystem, 34, 133, "EFI"},
                              {demo::kGuidBasicData, 2048, 206847, "Windows"},
                              {demo::kGuidLinuxData, 206848, 1046527, "Linux"}},
                             {128, 128, {0, 1, 5}, {}}));
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(),
            (std::vector<Slot>{{0xEE, 34, 100}, {0xEE, 2048, 204800}, {0xEE, 206848, 839680}}));
}

TEST_F(PartitionTableTest, GptEntryWithZeroTypeIsSkipped) {
  ASSERT_TRUE(
      demo::WriteGpt(Image(kDisk), sectors,
                     {{demo::Guid{}, 34, 2047, ""}, {demo::kGuidLinuxData, 2048, 4095, ""}}));
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0xEE, 2048, 2048}}));
}

TEST_F(PartitionTableTest, HybridMbrKeepsTheSlotsBeforeTheProtectiveEntry) {
  demo::GptLayout layout;
  layout.hybridMbr = {{0x0C, 2048, 2048}, {0xEE, 1, 2047}, {0x83, 9000, 10}};
  ASSERT_TRUE(demo::WriteGpt(
      Image(kDisk), sectors,
      {{demo::kGuidBasicData, 2048, 4095, ""}, {demo::kGuidLinuxData, 4096, 8191, ""}}, layout));
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(),
            (std::vector<Slot>{{0x0C, 2048, 2048}, {0xEE, 2048, 2048}, {0xEE, 4096, 4096}}));
}

TEST_F(PartitionTableTest, UnreadableGptShowsTheMessageAndEndsWithTrue) {
  for (const std::uint64_t fault : {1u, 2u}) {  // header, then entry array
    machine.Disk(kDisk).readFaults = {{fault, 1}};
    Commit();
    window.messages.clear();
    demo::GptLayout layout;
    layout.hybridMbr = {{0x07, 2048, 100}, {0xEE, 1, 2047}};
    ASSERT_TRUE(
        demo::WriteGpt(Image(kDisk), sectors, {{demo::kGuidLinuxData, 4096, 8191, ""}}, layout));
    EXPECT_TRUE(Read());
    EXPECT_EQ(Slots(), (std::vector<Slot>{{0x07, 2048, 100}}));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, ReadErrorText("Disque 1", fault));
  }
}

// Count and size come from the disk; out-of-reason values give no slot and
// read nothing outside the entry array.
TEST_F(PartitionTableTest, HostileGptHeaders) {
  struct Case {
    std::uint32_t count, size;
    std::size_t slots;
  };
  const Case cases[] = {
      {128, 0, 0},
      {128, 64, 0},
      {128, 127, 0},
      {0xFFFFFFFF, 128, 0},
      {0xFFFFFFFF, 0xFFFFFFFF, 0},
      {0x02000000, 0x80, 0},
      {0, 128, 0},
      {5, 128, 3},
      {4, 512, 3},
      {2, 128, 2},
      {8192, 128, 3},
      {1, 0x100000, 1},
  };
  for (const Case& c : cases) {
    const std::vector<GptPartition> parts{{demo::kGuidLinuxData, 100, 199, ""},
                                          {demo::kGuidLinuxData, 200, 299, ""},
                                          {demo::kGuidLinuxData, 300, 399, ""}};
    // Entries laid out with the size the header claims, where it is sane.
    const std::uint32_t stride = c.size >= 128 && c.size <= 4096 ? c.size : 128;
    ASSERT_TRUE(demo::WriteGpt(Image(kDisk), sectors, parts, {128, stride, {}, {}}));
    std::vector<std::uint8_t> fields(8);
    for (int i = 0; i < 4; ++i) {
      fields[i] = static_cast<std::uint8_t>(c.count >> (8 * i));
      fields[4 + i] = static_cast<std::uint8_t>(c.size >> (8 * i));
    }
    ASSERT_TRUE(demo::WriteAt(Image(kDisk), 512 + 80, fields));
    EXPECT_TRUE(Read()) << c.count << " x " << c.size;
    EXPECT_EQ(Slots().size(), c.slots) << c.count << " x " << c.size;
  }
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(PartitionTableTest, GptEntryEndingBeforeItStartsIsSkipped) {
  ASSERT_TRUE(demo::WriteGpt(Image(kDisk), sectors,
                             {{demo::kGuidLinuxData, 5000, 4999, ""},
                              {demo::kGuidLinuxData, 0, 0xFFFFFFFFFFFFFFFF, ""},
                              {demo::kGuidLinuxData, 7, 7, ""}}));
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0xEE, 7, 1}}));
}

// Entries that start at or past the end of the disk are not partitions of
// it (boot code over the entry area): no slot, no read, no message. An entry
// that starts inside and runs past the end is still listed.
TEST_F(PartitionTableTest, EntriesOutsideTheDiskAreNotPartitions) {
  const auto end = static_cast<std::uint32_t>(sectors);
  struct Case {
    const char* name;
    std::vector<MbrEntry> mbr;
    std::vector<Slot> slots;
  };
  const Case cases[] = {
      {"exFAT-style boot code: 0xFF entries",
       {{0xFF, 0xFFFFFFFF, 0xFFFFFFFF},
        {0xFF, 0xFFFFFFFF, 0xFFFFFFFF},
        {0xFF, 0xFFFFFFFF, 0xFFFFFFFF},
        {0xFF, 0xFFFFFFFF, 0xFFFFFFFF}},
       {}},
      {"one good entry, one past the end",
       {{0x07, 2048, 4096}, {0x83, 2021161080, 100}},
       {{0x07, 2048, 4096}}},
      {"first sector exactly at the end",
       {{0x83, end, 1}, {0x07, end - 1, 1}},
       {{0x07, end - 1, 1}}},
      {"starts inside, runs past the end", {{0x83, end - 10, 1000}}, {{0x83, end - 10, 1000}}},
      {"protective entry past the end reads no GPT",
       {{0xEE, 0xFFFFFFFF, 1}, {0x07, 2048, 10}},
       {{0x07, 2048, 10}}},
      {"extended entry past the end is not followed",
       {{0x0F, end, 100}, {0x07, 1, 99}},
       {{0x07, 1, 99}}},
  };
  for (const Case& c : cases) {
    Sector(0, c.mbr);
    EXPECT_TRUE(Read()) << c.name;
    EXPECT_EQ(Slots(), c.slots) << c.name;
  }
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(PartitionTableTest, ExtendedLinkPastTheEndKeepsTheDrivesBeforeIt) {
  const auto end = static_cast<std::uint32_t>(sectors);
  Sector(0, {{0x07, 1, 99}, {0x0F, 200, 500}});
  Sector(200, {{0x83, 1, 50}, {0x05, 100, 9}});
  Sector(300, {{0x82, 1, 8}, {0x05, end - 200, 9}});  // links to the disk's end exactly
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0x07, 1, 99}, {0x83, 201, 50}, {0x82, 301, 8}}));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(PartitionTableTest, GptEntryPastTheEndIsLeftOut) {
  ASSERT_TRUE(demo::WriteGpt(Image(kDisk), sectors,
                             {{demo::kGuidLinuxData, 2048, 4095, ""},
                              {demo::kGuidLinuxData, sectors, sectors + 100, ""},
                              {demo::kGuidBasicData, 0x7E00000000000000, 0x7E000000000000FF, ""},
                              {demo::kGuidLinuxData, sectors - 34, sectors + 5000, ""}}));
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0xEE, 2048, 2048}, {0xEE, sectors - 34, 5035}}));
  EXPECT_TRUE(window.messages.empty());
}

// Disks whose logical sectors are 4096 bytes: the tables count those
// sectors, the slots count 512-byte sectors. The simulated disk refuses any
// transfer that is not whole logical sectors, as a physical disk does.
class LargeSectorTableTest : public PartitionTableTest {
 protected:
  static constexpr std::uint64_t kLogical = 4096;

  void SetUp() override {
    PartitionTableTest::SetUp();
    UseLogicalSize(kLogical);
  }
  void UseLogicalSize(std::uint32_t size) {
    machine.Disk(kDisk).logicalSectorSize = size;
    Commit();
  }
  // A table sector at logical sector `lba`.
  void Table(std::uint64_t lba, const std::vector<MbrEntry>& entries) {
    ASSERT_TRUE(demo::WriteAt(Image(kDisk), lba * kLogical, demo::MakeTableSector(entries)));
  }
};

TEST_F(LargeSectorTableTest, MbrAndExtendedChainAreInLogicalSectors) {
  Table(0, {{0x07, 256, 1000}, {0x0F, 2000, 5000}});
  Table(2000, {{0x83, 10, 100}, {0x05, 500, 200}});
  Table(2500, {{0x82, 10, 50}});
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(),
            (std::vector<Slot>{{0x07, 2048, 8000}, {0x83, 2010 * 8, 800}, {0x82, 2510 * 8, 400}}));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(LargeSectorTableTest, GptHeaderAtLogicalSectorOneAndEntriesAfterIt) {
  Table(0, {{0xEE, 1, 131071}});
  std::vector<std::uint8_t> header(512, 0);
  device::PutU32(&header[80], 128);
  device::PutU32(&header[84], 128);
  ASSERT_TRUE(demo::WriteAt(Image(kDisk), 1 * kLogical, header));
  std::vector<std::uint8_t> entries(128 * 128, 0);
  std::copy(demo::kGuidLinuxData.begin(), demo::kGuidLinuxData.end(), entries.begin());
  device::PutU64(&entries[32], 256);  // first and last logical sectors
  device::PutU64(&entries[40], 511);
  std::copy(demo::kGuidBasicData.begin(), demo::kGuidBasicData.end(), entries.begin() + 128);
  device::PutU64(&entries[128 + 32], 131000);  // inside, near the end (131072 logical sectors)
  device::PutU64(&entries[128 + 40], 131070);
  std::copy(demo::kGuidBasicData.begin(), demo::kGuidBasicData.end(), entries.begin() + 256);
  device::PutU64(&entries[256 + 32], 131072);  // the first sector past the end of the disk
  device::PutU64(&entries[256 + 40], 131080);
  ASSERT_TRUE(demo::WriteAt(Image(kDisk), 2 * kLogical, entries));
  EXPECT_TRUE(Read());
  EXPECT_EQ(Slots(), (std::vector<Slot>{{0xEE, 2048, 2048}, {0xEE, 131000 * 8, 71 * 8}}));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(LargeSectorTableTest, ReadErrorsNameTheSectorIn512ByteUnits) {
  machine.Disk(kDisk).ReadFault(2000 * 8, 1);
  Commit();
  Table(0, {{0x0F, 2000, 5000}});
  EXPECT_FALSE(Read());
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Erreur Lecture Support Disque 1 au Secteur 16000");
}

// A size that is not a power of two from 512 to 65536 places nothing: no
// slot, no volume, no message, and nothing is read.
TEST_F(LargeSectorTableTest, UnusableLogicalSizesGiveNoVolume) {
  for (const std::uint32_t size : {256u, 520u, 1000u, 131072u}) {
    SCOPED_TRACE(size);
    UseLogicalSize(size);
    Table(0, {{0x07, 256, 1000}});
    identity = {};
    EXPECT_FALSE(Read());
    EXPECT_TRUE(Slots().empty());
    EXPECT_FALSE(DetectVolume(*platform, window, identity, disk));
    EXPECT_TRUE(window.messages.empty());
  }
}

}  // namespace
}  // namespace kalvorin::detect
