#include "programrun.h"

#include "service/services.h"

std::string Cfg() { return BinDirectory() + "ZARQCFG.EXE"; }

// Runs a program to its end, answering its boxes (and those of the copies it starts).
Outcome RunToEnd(const std::string& exe, const std::string& args, const std::vector<std::string>& env,
                 const std::vector<int>& answers, DWORD limitMs) {
  Outcome o;
  Program p;
  DWORD start = GetTickCount();
  if (!StartProgram(&p, exe, args, env)) return o;
  o.boxes = AnswerBoxes(answers, [&] { return p.Wait(0) != STILL_ACTIVE; }, limitMs);
  o.exitCode = p.Wait(5000);
  o.ms = GetTickCount() - start;
  return o;
}

StopWaitOutcome StopNeverCompleting(const std::vector<std::string>& env, DWORD limitMs) {
  StopWaitOutcome o;
  StatusBlock block;
  if (!OpenStatusBlock(Gateway::Sms, &block)) return o;
  Program p;
  DWORD start = GetTickCount();
  if (!StartProgram(&p, Cfg(), "-STOPSERVICE", env)) return o;
  // Take each stop request off the block as it comes, counting them.
  while (p.Wait(0) == STILL_ACTIVE && GetTickCount() - start < limitMs) {
    if (block.view[kStopRequestByte]) {
      block.view[kStopRequestByte] = 0;
      ++o.stopRequests;
    }
    Sleep(2);
  }
  o.run.exitCode = p.Wait(0);
  o.run.ms = GetTickCount() - start;
  if (block.view[kStopRequestByte]) ++o.stopRequests;
  CloseStatusBlock(&block);
  SeenBox box;
  if (WaitForBox(500, &box)) o.run.boxes.push_back(box);
  return o;
}

