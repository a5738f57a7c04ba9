// The object's own error raising: numbers above 1000 are its own errors, moved
// into the object-defined range by a bitwise OR, and the rest are run-time
// errors; the source names the running program either way.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common_dialog.h"
#include "raised.h"

namespace {

TEST(RaiseError, NumbersUpToOneThousandAreRunTimeErrorsAndTheRestTheObjects) {
  struct Case {
    std::int32_t given;
    std::uint32_t number;
    std::wstring source, description;
  };
  const Case cases[] = {
      {1000, 1000, L"error_raising_tests.VBError", L"Application-defined or object-defined error"},
      {5, 5, L"error_raising_tests.VBError", L"Invalid procedure call or argument"},
      {-1, 0xFFFFFFFF, L"error_raising_tests.VBError",
       L"Application-defined or object-defined error"},
      {1001, 0x800403E9, L"error_raising_tests.CommonDialog", L""},
      // An OR, not a sum: the bit 0x40000 that the number already has stays one bit.
      {0x40001, 0x80040001, L"error_raising_tests.CommonDialog", L""},
  };
  const cCommonDialog dialog;
  for (const Case& c : cases) {
    const auto error = Raised([&] { dialog.RaiseError(c.given); });
    ASSERT_TRUE(error) << c.given;
    EXPECT_EQ(static_cast<std::uint32_t>(error->Number()), c.number) << c.given;
    EXPECT_EQ(error->Source(), c.source) << c.given;
    EXPECT_EQ(error->Description(), c.description) << c.given;
  }
}

}  // namespace
