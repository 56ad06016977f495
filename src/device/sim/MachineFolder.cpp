#include "device/sim/MachineFolder.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "device/sim/HostFile.h"

namespace kalvorin::device::sim {

namespace {
constexpr std::uintmax_t kMaxDescriptionBytes = 16 * 1024 * 1024;
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool MachineFolder::ReadText(std::string& text) const {
  const std::filesystem::path file = folder_ / "machine.json";
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size > kMaxDescriptionBytes) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool MachineFolder::Load(const std::string& folder, std::string& error) {
  folder_ = PathFromUtf8(folder);
  std::error_code fileError;
  if (!std::filesystem::is_directory(folder_, fileError)) {
    error = "Dossier de machine simulée introuvable : " + folder;
    return false;
  }
  std::string text;
  if (!ReadText(text)) {
    error = "Lecture impossible de " + Utf8FromPath(folder_ / "machine.json");
    return false;
  }
  MachineDescription machine;
  if (!ParseMachineDescription(text, machine, error)) return false;
  text_ = std::move(text);
  machine_ = std::move(machine);
  return true;
}

const MachineDescription& MachineFolder::Current() {
  std::string text;
  if (ReadText(text) && text != text_) {
    MachineDescription machine;
    std::string error;
    if (ParseMachineDescription(text, machine, error)) {
      text_ = std::move(text);
      machine_ = std::move(machine);
    }
  }
  return machine_;
}

std::filesystem::path MachineFolder::Resolve(const std::string& relative) const {
  return folder_ / PathFromUtf8(relative);
}

}  // namespace kalvorin::device::sim
