// Filling of the 32-slot partition table, shared by the MBR/EBR walk and the
// GPT reader.
#pragma once

#include <cstdint>

#include "media/Records.h"

namespace kalvorin::detect {

// Appends slots from index 0 without gaps. Partitions beyond the last slot
// are ignored: nothing is ever written past the table.
class SlotList {
 public:
  explicit SlotList(media::InSupport& identity) : table_(identity.TablePartition) {
    for (auto& slot : table_) slot.TypePartition = 0;
  }
  void Add(std::uint8_t type, std::uint64_t first, std::uint64_t count) {
    if (count_ >= table_.size()) return;
    table_[count_++] = {type, first, count};
  }

 private:
  decltype(media::InSupport::TablePartition)& table_;
  std::size_t count_ = 0;
};

}  // namespace kalvorin::detect
