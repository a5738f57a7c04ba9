#include "raised_error.h"

#include "executable_name.h"

namespace toolkit {

RaisedError::RaisedError(std::int32_t number, std::wstring source, std::wstring description)
    : std::runtime_error("raised error " + std::to_string(number)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

std::wstring StandardDescription(std::int32_t number) {
  switch (number) {
    case kInvalidArgument: return L"Invalid procedure call or argument";
    case kOverflow: return L"Overflow";
    case kTypeMismatch: return L"Type mismatch";
    case kObjectNotSet: return L"Object variable or With block variable not set";
    case kNotSupportedByObject: return L"Object doesn't support this property or method";
  }
  return L"Application-defined or object-defined error";
}

void Raise(std::int32_t number) {
  Raise(number, ExecutableBaseName(), StandardDescription(number));
}

void Raise(std::int32_t number, std::wstring source, std::wstring description) {
  throw RaisedError(number, std::move(source), std::move(description));
}

}  // namespace toolkit
