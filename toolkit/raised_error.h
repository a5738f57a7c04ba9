#pragma once
// The one error that operations raise, when an argument does not fit or an
// object refuses: a number, a source and a description. Handlers catch it at
// the window procedure; it never crosses a Win32 callback.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace toolkit {

class RaisedError : public std::runtime_error {
 public:
  RaisedError(std::int32_t number, std::wstring source, std::wstring description);

  std::int32_t Number() const { return number_; }
  const std::wstring& Source() const { return source_; }
  const std::wstring& Description() const { return description_; }

 private:
  std::int32_t number_;
  std::wstring source_;
  std::wstring description_;
};

inline constexpr std::int32_t kInvalidArgument = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kNotSupportedByObject = 438;

// The standard text for an error number the system raises; a generic text for
// any other number.
std::wstring StandardDescription(std::int32_t number);

// Raises `number` with the executable's base name as source and the standard text.
[[noreturn]] void Raise(std::int32_t number);

// Raises an error as given: the one place that throws RaisedError.
[[noreturn]] void Raise(std::int32_t number, std::wstring source, std::wstring description);

}  // namespace toolkit
