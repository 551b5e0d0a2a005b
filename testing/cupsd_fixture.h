// A throw-away CUPS scheduler for the CUPS tests: its own cupsd.conf and
// cups-files.conf in a fresh temporary folder, on a free loopback port, with
// no authentication; stopped, and its folder removed, when the object goes.
#pragma once

#include <string>
#include <vector>

namespace quillon::platform::cups_test {

class CupsdFixture {
 public:
  CupsdFixture();
  ~CupsdFixture();
  CupsdFixture(const CupsdFixture&) = delete;
  CupsdFixture& operator=(const CupsdFixture&) = delete;

  bool running() const { return pid_ > 0; }
  // Why the scheduler is not running.
  const std::string& failure() const { return failure_; }
  // As CUPS_SERVER and lpadmin's -h take it.
  std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }

  // Writes a file into the fixture's folder and returns its path.
  std::string WriteFile(const std::string& name, const std::string& text);
  // Runs lpadmin against this scheduler; false with lpadmin's output in
  // `output` when it fails.
  bool Lpadmin(const std::vector<std::string>& arguments, std::string* output);

 private:
  bool Prepare();
  bool Launch();

  std::string folder_;
  int pid_ = 0;
  int port_ = 0;
  std::string failure_;
};

}  // namespace quillon::platform::cups_test
