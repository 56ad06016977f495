#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/Console.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>

#include <cerrno>
#endif

namespace kalvorin::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void OnStopSignal(int) { stopRequested = 1; }

class ProcessConsole final : public Console {
 public:
  ProcessConsole() {
#ifndef _WIN32
    // A reader that went away must not end a job in the middle of a block.
    std::signal(SIGPIPE, SIG_IGN);
#endif
  }
  void CatchStopSignals() override {
#ifdef _WIN32
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#else
    // No SA_RESTART: a question waiting for an answer is interrupted.
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
  }
  std::ostream& Out() override { return std::cout; }
  std::ostream& Err() override { return std::cerr; }
#ifdef _WIN32
  bool Interactive() override { return _isatty(_fileno(stdin)) != 0; }
  bool ErrIsTerminal() override { return _isatty(_fileno(stderr)) != 0; }
  std::optional<std::string> ReadLine() override {
    std::string line;
    if (!std::getline(std::cin, line) || stopRequested) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  long ProcessId() override { return static_cast<long>(_getpid()); }
#else
  bool Interactive() override { return ::isatty(STDIN_FILENO) != 0; }
  bool ErrIsTerminal() override { return ::isatty(STDERR_FILENO) != 0; }
  std::optional<std::string> ReadLine() override {
    // Byte by byte from the descriptor, so a signal interrupts the wait.
    std::string line;
    for (;;) {
      char c = 0;
      const ssize_t got = ::read(STDIN_FILENO, &c, 1);
      if (got < 0 && errno == EINTR && !stopRequested) continue;
      if (got <= 0 || stopRequested) return std::nullopt;
      if (c == '\n') return line;
      line += c;
      if (line.size() > 4096) return std::nullopt;  // no answer is that long
    }
  }
  long ProcessId() override { return static_cast<long>(::getpid()); }
#endif
  bool StopRequested() override { return stopRequested != 0; }
  std::uint64_t NowMs() override {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  }
};

}  // namespace

Console& SystemConsole() {
  static ProcessConsole console;
  return console;
}

}  // namespace kalvorin::cli
