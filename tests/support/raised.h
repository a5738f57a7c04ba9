#pragma once
// What an action raised: the error, or nothing when it ran through. Lets a test
// check number, source and text of a raised error in plain expectations.

#include <optional>

#include "raised_error.h"

template <class Action>
std::optional<toolkit::RaisedError> Raised(Action&& action) {
  try {
    action();
  } catch (const toolkit::RaisedError& error) {
    return error;
  }
  return std::nullopt;
}
