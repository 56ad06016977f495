#include "cli/CliFixture.h"

#include <filesystem>
#include <fstream>

#include "device/sim/demo/FileSystemBuilders.h"
#include "device/sim/demo/PartitionBuilders.h"
#include "jobs/Report.h"

namespace kalvorin::test {

void CliTest::WriteMachine() {
  std::string error;
  std::filesystem::create_directories(machine.folder());
  ASSERT_TRUE(machine.Write(error)) << error;
  if (written_) return;
  written_ = true;
  const std::string image = machine.ImagePath(kTable);
  ASSERT_TRUE(demo::WriteTableSector(image, 0, {{0x07, 2048, 100'000}, {0x83, 102'048, 100'000}}));
  ASSERT_TRUE(demo::WriteVolume(image, 2048, demo::MakeNtfsVolume(100'000)));
}

int CliTest::Run(std::vector<std::string> arguments) {
  WriteMachine();
  console.out.str("");
  console.err.str("");
  arguments.insert(arguments.begin(), {"--machine", machine.folder()});
  return cli::RunCli(arguments, console);
}

std::vector<nlohmann::json> CliTest::JsonLines() const {
  std::vector<nlohmann::json> lines;
  std::istringstream text(console.out.str());
  std::string line;
  while (std::getline(text, line)) {
    nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
    EXPECT_FALSE(value.is_discarded()) << line;
    lines.push_back(value);
  }
  return lines;
}

std::vector<std::string> CliTest::Events() const {
  std::vector<std::string> events;
  for (const auto& line : JsonLines()) events.push_back(line.value("evenement", "?"));
  return events;
}

std::string CliTest::ReadText(const std::string& path) const {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void CliTest::Fill(int disk, std::uint64_t first, std::uint64_t count, std::uint8_t value) {
  WriteMachine();
  ASSERT_TRUE(demo::WriteAt(machine.ImagePath(disk), first * 512,
                            std::vector<std::uint8_t>(count * 512, value)));
}

std::string ReportHeader(const std::string& titleUtf8, std::uint64_t first, std::uint64_t end) {
  return jobs::ReportHeader(titleUtf8, first, end);
}

}  // namespace kalvorin::test
