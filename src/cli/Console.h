// The terminal as the command line sees it: its two output streams, whether
// a person can answer, the lines typed, and the stop asked by Ctrl+C or
// SIGTERM. The program uses the process's own; tests script one.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace kalvorin::cli {

class Console {
 public:
  virtual ~Console() = default;
  virtual std::ostream& Out() = 0;  // results: tables, JSON, the report's path
  virtual std::ostream& Err() = 0;  // messages, questions, the progress line
  // A person can answer questions: standard input is a terminal.
  virtual bool Interactive() = 0;
  // The error stream is a terminal, where a progress line can be redrawn.
  virtual bool ErrIsTerminal() = 0;
  // One line typed, without its line end; nullopt at the end of the input
  // or when a stop interrupted the reading.
  virtual std::optional<std::string> ReadLine() = 0;
  // From now on Ctrl+C and SIGTERM ask the job to stop instead of ending
  // the process (a job calls it before it opens anything).
  virtual void CatchStopSignals() = 0;
  // Ctrl+C or SIGTERM asked the running job to stop.
  virtual bool StopRequested() = 0;
  // A clock that never runs backwards, in milliseconds.
  virtual std::uint64_t NowMs() = 0;
  // Process id, which makes a default report name unique among the runs.
  virtual long ProcessId() = 0;
};

// The console of this process (standard streams, signals). A closed output
// pipe does not end the process: writes to it fail.
Console& SystemConsole();

}  // namespace kalvorin::cli
