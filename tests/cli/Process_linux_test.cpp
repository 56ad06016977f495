// kalvorin-cli as its own process: Ctrl+C and SIGTERM during a job, and
// several processes at once on loop devices this test attaches itself.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli/CliFixture.h"
#include "device/sim/demo/ImageFile.h"
#include "support/LoopDevice.h"

namespace kalvorin::test {
namespace {

// One run of the built kalvorin-cli: standard input empty, standard output
// read line by line, standard error kept in a file.
class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& arguments, const std::string& errorFile) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int in = ::open("/dev/null", O_RDONLY);
      const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(in, 0);
      ::dup2(out[1], 1);
      ::dup2(err, 2);
      ::close(out[0]);
      std::vector<char*> argv;
      std::string program = KALVORIN_CLI_PATH;
      argv.push_back(program.data());
      std::vector<std::string> copies = arguments;
      for (std::string& argument : copies) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = ::fdopen(out[0], "r");
  }
  ~CliProcess() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    if (out_ != nullptr) std::fclose(out_);
  }
  // The next line of standard output; empty at its end.
  std::string ReadLine() {
    std::string line;
    int c;
    while (out_ != nullptr && (c = std::fgetc(out_)) != EOF) {
      if (c == '\n') return line;
      line += static_cast<char>(c);
    }
    return line;
  }
  // Reads lines until one holds `text`; false at the end of the output.
  bool WaitForLine(const std::string& text) {
    for (std::string line = ReadLine(); !line.empty(); line = ReadLine()) {
      lines_.push_back(line);
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }
  void Signal(int number) { ::kill(pid_, number); }
  // The exit status; 128 + the signal when a signal ended it.
  int Wait() {
    if (status_ >= 0) return status_;
    while (WaitForLine("\n")) {
    }
    int raw = 0;
    if (::waitpid(pid_, &raw, 0) != pid_) return -1;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return status_;
  }
  // Every line read, parsed.
  std::vector<nlohmann::json> Json() const {
    std::vector<nlohmann::json> values;
    for (const std::string& line : lines_)
      values.push_back(nlohmann::json::parse(line, nullptr, false));
    return values;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  int status_ = -1;
  std::vector<std::string> lines_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

const std::string kEndLine = "\nFin du traitement -> le ";

class CliProcessTest : public CliTest {};

TEST_F(CliProcessTest, CtrlCAndSigtermStopLikeTheStopButton) {
  // 32 GiB, sparse: long enough to be stopped while it runs.
  machine.AddDisk(kPlain, 64ull * 1024 * 1024).Smart("NEXORA TEST-2", "SER002");
  WriteMachine();
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const std::string path = report + std::to_string(signal);
    CliProcess cli({"--machine", machine.folder(), "check", "2", "--json", "--rapport", path},
                   dir.file("err.txt"));
    ASSERT_TRUE(cli.WaitForLine("\"progression\""));
    cli.Signal(signal);
    EXPECT_EQ(cli.Wait(), 3) << ReadFile(dir.file("err.txt"));
    const auto lines = cli.Json();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["evenement"], "fin");
    EXPECT_EQ(lines.back()["arrete"], true);
    EXPECT_EQ(lines.back()["rapport"], path);
    const std::string text = ReadFile(path);
    const std::string header = ReportHeader("Contrôler l'intégrité du support N° 2 - NEXORA TEST-2",
                                            0, 64ull * 1024 * 1024);
    EXPECT_EQ(text.rfind(header, 0), 0u) << text;
    // The end line, and nothing between it and the header: no stop line.
    EXPECT_EQ(text.find(kEndLine), header.size() - 0) << text;
    EXPECT_EQ(text.back(), '\n');
  }
}

// Loop devices over images of this test, with names no other image has.
class LoopTest : public ::testing::Test {
 protected:
  std::unique_ptr<LoopDevice> Attach(const std::string& name, std::uint64_t sectors) {
    const std::string image = dir.file(name + "-" + std::to_string(::getpid()) + ".img");
    EXPECT_TRUE(demo::CreateSparseImage(image, sectors));
    std::string whyNot;
    auto loop = LoopDevice::Attach(image, {}, whyNot);
    if (!loop) skipReason = whyNot;
    return loop;
  }
  std::string Serial(const LoopDevice& loop) const {
    // The serial of a loop device is its image's file name.
    std::string output;
    RunShell("cat /sys/block/" + loop.name() + "/loop/backing_file", &output);
    return std::filesystem::path(output.substr(0, output.find('\n'))).filename().string();
  }
  TempDir dir;
  std::string skipReason;
};

TEST_F(LoopTest, FourChecksAtOnceGiveFourReports) {
  std::vector<std::unique_ptr<LoopDevice>> loops;
  const std::uint64_t sectors[] = {131072, 65536, 98304, 32768};
  for (int i = 0; i < 4; ++i) {
    loops.push_back(Attach("quatre-" + std::to_string(i), sectors[i]));
    if (!loops.back()) GTEST_SKIP() << skipReason;
  }
  std::vector<std::unique_ptr<CliProcess>> runs;
  for (int i = 0; i < 4; ++i) {
    runs.push_back(std::make_unique<CliProcess>(
        std::vector<std::string>{"check", loops[i]->path(), "--json", "--rapport",
                                 dir.file("r" + std::to_string(i) + ".txt")},
        dir.file("e" + std::to_string(i) + ".txt")));
  }
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(loops[i]->path());
    ASSERT_EQ(runs[i]->Wait(), 0) << ReadFile(dir.file("e" + std::to_string(i) + ".txt"));
    const auto lines = runs[i]->Json();
    ASSERT_GE(lines.size(), 2u);
    const int number = lines.front()["support"];
    const std::string title = lines.front()["titre"];
    EXPECT_EQ(
        title.rfind("Contrôler l'intégrité du support N° " + std::to_string(number) + " - ", 0),
        0u);
    const std::string text = ReadFile(dir.file("r" + std::to_string(i) + ".txt"));
    EXPECT_EQ(text, ReportHeader(title, 0, sectors[i]) + text.substr(text.find(kEndLine)));
    EXPECT_EQ(text.find("impossible"), std::string::npos);
  }
}

TEST_F(LoopTest, ADiskIsNamedByItsDevicePathOrItsSerial) {
  // A size no other test's loop device has: disk numbers may move while
  // other tests plug and unplug loops, the disk's size does not.
  constexpr std::uint64_t kSectors = 2056;
  auto loop = Attach("nomme", kSectors);
  if (!loop) GTEST_SKIP() << skipReason;
  CliProcess list({"list", "--json"}, dir.file("e.txt"));
  ASSERT_TRUE(list.WaitForLine("supports"));
  ASSERT_EQ(list.Wait(), 0);
  int number = -1;
  const nlohmann::json listed = list.Json().front();
  for (const auto& disk : listed["supports"]) {
    if (disk["chemin"] == loop->path()) number = disk["numero"];
  }
  ASSERT_GE(number, 0) << loop->path() << " is not listed: " << listed.dump();
  for (const std::string& name : {loop->path(), Serial(*loop)}) {
    SCOPED_TRACE(name);
    CliProcess check({"check", name, "--json", "--rapport", dir.file(name.substr(5) + ".txt")},
                     dir.file("e.txt"));
    ASSERT_EQ(check.Wait(), 0) << ReadFile(dir.file("e.txt"));
    EXPECT_EQ(check.Json().front()["nombre_secteurs"], kSectors);
  }
}

TEST_F(LoopTest, AnEraseWhileAnotherProcessChecksTheDiskIsRefused) {
  // 16 GiB, sparse: the check is still reading when the erase starts.
  auto loop = Attach("occupe", 32ull * 1024 * 1024);
  if (!loop) GTEST_SKIP() << skipReason;
  ASSERT_TRUE(demo::WriteAt(loop->path(), 0, std::vector<std::uint8_t>(512, 0xAB)));
  CliProcess check({"check", loop->path(), "--json", "--rapport", dir.file("check.txt")},
                   dir.file("e1.txt"));
  // A progress line: the check holds the disk.
  ASSERT_TRUE(check.WaitForLine("\"progression\""));
  // A short range: without the lock, the damage stays small.
  CliProcess erase({"erase", loop->path(), "--nombre-secteurs", "2048", "--oui", "--json",
                    "--rapport", dir.file("erase.txt")},
                   dir.file("e2.txt"));
  EXPECT_EQ(erase.Wait(), 2) << ReadFile(dir.file("e2.txt"));
  check.Signal(SIGINT);
  EXPECT_EQ(check.Wait(), 3);
  EXPECT_FALSE(std::filesystem::exists(dir.file("erase.txt")));
  EXPECT_EQ(demo::ReadAt(loop->path(), 0, 512), std::vector<std::uint8_t>(512, 0xAB));
}

}  // namespace
}  // namespace kalvorin::test
