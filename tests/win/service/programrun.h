// Runs of the real ZARQCFG.EXE from a test.
#pragma once
#include <string>
#include <vector>

#include "servicetest.h"

struct Outcome {
  DWORD exitCode = STILL_ACTIVE;
  std::vector<SeenBox> boxes;
  DWORD ms = 0;
};

std::string Cfg();  // ZARQCFG.EXE of the build

// Runs a program to its end, answering its boxes (and those of the copies it
// starts) in turn with `answers`, IDOK beyond them.
Outcome RunToEnd(const std::string& exe, const std::string& args, const std::vector<std::string>& env = {},
                 const std::vector<int>& answers = {}, DWORD limitMs = 60000);

struct StopWaitOutcome {
  Outcome run;
  int stopRequests = 0;  // times the stop request byte was set
};
// Runs "ZARQCFG.EXE -STOPSERVICE" against a running SMS gateway that ignores
// stop requests, taking each stop request off its status block as it comes.
StopWaitOutcome StopNeverCompleting(const std::vector<std::string>& env, DWORD limitMs);
