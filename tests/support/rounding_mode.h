#pragma once
// Runs a scope under another floating-point rounding mode, as a printer driver
// loaded by a dialog may leave it, and restores the mode on the way out.

#include <cfenv>

class RoundingMode {
 public:
  explicit RoundingMode(int mode) : saved_(std::fegetround()) { std::fesetround(mode); }
  ~RoundingMode() { std::fesetround(saved_); }
  RoundingMode(const RoundingMode&) = delete;
  RoundingMode& operator=(const RoundingMode&) = delete;

 private:
  int saved_;
};
