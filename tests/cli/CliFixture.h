// kalvorin-cli run in the test's own process on a simulated machine, with a
// scripted terminal.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Console.h"
#include "device/sim/demo/ImageFile.h"
#include "device/sim/demo/MachineBuilder.h"
#include "support/TempDir.h"

namespace kalvorin::test {

class ScriptedConsole : public cli::Console {
 public:
  std::ostringstream out, err;
  bool interactive = false;  // a person answers from `input`
  bool errTerminal = false;
  std::deque<std::string> input;
  int linesRead = 0;
  bool catching = false;
  // Asked at every stop test; true stops the job (Ctrl+C).
  std::function<bool()> stopWhen;
  std::uint64_t now = 1'000'000;
  std::uint64_t step = 0;  // each clock reading advances by this much

  std::ostream& Out() override { return out; }
  std::ostream& Err() override { return err; }
  bool Interactive() override { return interactive; }
  bool ErrIsTerminal() override { return errTerminal; }
  std::optional<std::string> ReadLine() override {
    if (input.empty()) return std::nullopt;
    ++linesRead;
    std::string line = input.front();
    input.pop_front();
    return line;
  }
  void CatchStopSignals() override { catching = true; }
  bool StopRequested() override { return catching && stopWhen && stopWhen(); }
  std::uint64_t NowMs() override { return now += step; }
  long ProcessId() override { return 4711; }
};

// Disks of the standard machine. Disk 0 holds the program.
inline constexpr int kPlain = 2;  // 300 000 sectors, serial SER002, no table
inline constexpr int kTable = 1;  // MBR: NTFS at 2048 (letter D) and an unknown type
inline constexpr int kDock = 3;   // the write-protected dock
inline constexpr int kSmall = 4;  // 1 000 sectors, serial SMALL4
inline constexpr std::uint64_t kDiskSectors = 300'000;

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    machine.SetProgramDisk(0);
    machine.AddDisk(0, 1000).Smart("PROGRAMME", "PRG000");
    machine.AddDisk(kTable, kDiskSectors).Smart("ORVANTA TEST-1", "SER001");
    machine.AddDisk(kPlain, kDiskSectors).Smart("NEXORA TEST-2", "SER002");
    machine.AddDisk(kDock, kDiskSectors)
        .Smart("PROTECTA WriteBlock", "DOCK0001")
        .Wmi("InterfaceType", "USB")
        .Wmi("PNPDeviceID", "USBSTOR\\DISK&VEN_PROTECTA\\201804ABCDEF&0");
    machine.AddDisk(kSmall, 1000).Smart("KALPA SMALL", "SMALL4");
    machine.AddLetter('D').Extent(kTable, 2048, 100'000).label = "DATA";
  }

  // Writes the machine (and the table of disk 1) the first time.
  void WriteMachine();

  // Runs kalvorin-cli --machine <folder> `arguments` on a fresh console
  // that keeps the settings of `console`.
  int Run(std::vector<std::string> arguments);

  // The lines of the output, each parsed as JSON.
  std::vector<nlohmann::json> JsonLines() const;
  // The events of those lines, in order.
  std::vector<std::string> Events() const;

  std::string ReadText(const std::string& path) const;
  std::string Report() const { return ReadText(report); }
  std::vector<std::uint8_t> Sectors(int disk, std::uint64_t first, std::uint64_t count) const {
    return demo::ReadAt(machine.ImagePath(disk), first * 512, count * 512);
  }
  // Fills sectors of disk `disk` with `value`.
  void Fill(int disk, std::uint64_t first, std::uint64_t count, std::uint8_t value);

  TempDir dir;
  demo::MachineBuilder machine{(dir.path() / "machine").string()};
  ScriptedConsole console;
  std::string report = (dir.path() / "rapport.txt").string();
  bool written_ = false;
};

// "<title> du secteur <first> au secteur <end>\n\n" in the report's Latin-1.
std::string ReportHeader(const std::string& titleUtf8, std::uint64_t first, std::uint64_t end);

}  // namespace kalvorin::test
