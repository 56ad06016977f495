// The identification decoders: directly on the raw input, and through the
// simulated machine's SMART and storage-descriptor answers built from it;
// the input's lines are also a management answer.
//
// Input: first (2 bytes, signed), last (2), descriptor offset (8, signed),
// then the bytes decoded.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzMachine.h"
#include "detect/SectorReader.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/MachineBuilder.h"
#include "media/Identify.h"

namespace {

using namespace kalvorin;

// Four texts for the machine's identity fields, cut at 0x1F bytes; ASCII
// only, as machine.json holds UTF-8 text.
std::vector<std::string> Texts(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> texts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0x1F && texts.size() < 4) {
      texts.emplace_back();
    } else {
      texts.back() += static_cast<char>(data[i] & 0x7F ? data[i] & 0x7F : ' ');
    }
  }
  texts.resize(4);
  return texts;
}

void ThroughTheMachine(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = fuzz::MakeTempFolder("kalvorin-fuzz-identify");
  const auto texts = Texts(data, size);
  demo::MachineBuilder builder(folder);
  builder.AddDisk(1, 8).Smart(texts[0], texts[1]).Descriptor(texts[2], texts[3]);
  std::string error;
  if (!builder.Write(error)) __builtin_trap();
  auto platform = device::CreateSimulatedPlatform(folder, error);
  if (!platform) return;  // a description the machine refuses
  media::InSupport identity;
  media::IdentifyDisk(*platform, identity, 1);
  if (identity.Modele.size() > 255 || identity.NoSerie.size() > 255) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 12) return 0;
  const auto first = static_cast<std::int16_t>(detect::ReadU16LE(data));
  const auto last = static_cast<std::int16_t>(detect::ReadU16LE(data + 2));
  const auto offset = static_cast<std::int64_t>(detect::ReadU64LE(data + 4));
  const std::uint8_t* body = data + 12;
  const std::size_t bodySize = size - 12;

  std::vector<std::uint16_t> words(256, 0);
  std::memcpy(words.data(), body, std::min<std::size_t>(bodySize, 512));
  media::IdentifyWordsToText(words.data(), first, last);

  // An exact-size copy, so a read past the descriptor's end is caught.
  std::vector<std::uint8_t> descriptor(body, body + bodySize);
  media::DecodeDescriptorText(descriptor.data(), descriptor.size(), offset);

  device::WmiObject object(1);
  for (std::size_t i = 0; i < bodySize; ++i) {
    if (body[i] == '\n') {
      object.emplace_back();
    } else {
      object.back() += static_cast<char>(body[i]);
    }
  }
  media::InSupport answered;
  media::ApplyManagementAnswer(answered, object);

  ThroughTheMachine(body, std::min<std::size_t>(bodySize, 512));
  return 0;
}
