// Starts the practice operator MMSC (mmsc.py, Linux side) from a test running
// under Wine, on a port the system chooses, and reads its JSON-lines log. It
// lives as long as this object (and ends with the prefix's wineserver, or
// after an hour).
//
//   MmscSim mmsc("--fail refused");
//   ASSERT_TRUE(mmsc.Started()) << mmsc.Error();
//   ... "http://127.0.0.1:" + std::to_string(mmsc.Port()) + "/mms" ...
#pragma once
#include <string>
#include <vector>

class MmscSim {
 public:
  // `options` as on mmsc.py's command line; `port` 0 takes a free one.
  explicit MmscSim(const std::string& options = std::string(), unsigned port = 0);
  ~MmscSim();
  MmscSim(const MmscSim&) = delete;
  MmscSim& operator=(const MmscSim&) = delete;

  bool Started() const { return port_ != 0; }
  const std::string& Error() const { return error_; }
  unsigned Port() const { return port_; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/mms"; }
  // The log's lines (one JSON object each), whole lines only.
  std::vector<std::string> Events() const;
  // Lines of the log that hold `text`.
  std::vector<std::string> EventsWith(const std::string& text) const;
  // Stops the server; returns once it has ended. Idempotent.
  void Stop();

 private:
  std::string ready_, log_;
  std::string error_;
  unsigned port_ = 0;
  unsigned long pid_ = 0;
};
