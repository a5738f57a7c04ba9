// What the window shows for a failure that reached its window procedure: the
// real message box, read by a second thread while the report waits in it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>

#include "dialog_driver.h"
#include "error_report.h"
#include "raised_error.h"

namespace {

using namespace std::chrono_literals;

// While set, every allocation on this thread fails, as when memory runs out.
thread_local bool allocationsFail = false;

struct AllocationsFail {
  AllocationsFail() { allocationsFail = true; }
  ~AllocationsFail() { allocationsFail = false; }
};

struct Shown {
  std::wstring text, title;
};

Shown Report(const std::function<void()>& fail, bool withoutMemory) {
  Shown shown;
  dialog_driver::Driver driver(
      [&](HWND box) { shown.text = dialog_driver::TakeMessageBox(box, &shown.title); });
  try {
    fail();
  } catch (...) {
    std::optional<AllocationsFail> outOfMemory;
    if (withoutMemory) outOfMemory.emplace();
    ReportCurrentException(nullptr);
  }
  EXPECT_TRUE(driver.Found()) << "no report was shown";
  return shown;
}

}  // namespace

// This file's own operator new is malloc and its delete free; GCC, seeing the
// replaced new inlined beside the library's view of it, takes the pair for a
// mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (allocationsFail) throw std::bad_alloc();
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

TEST(ErrorReport, ShowsARaisedErrorsNumberAndDescriptionUnderTheProgramsName) {
  const Shown shown =
      Report([] { throw toolkit::RaisedError(6, L"gui_tests", L"Overflow"); }, false);
  EXPECT_EQ(shown.text, L"运行时错误 '6':\r\n\r\nOverflow");
  EXPECT_EQ(shown.title, L"gui_tests");

  EXPECT_EQ(Report([] { throw std::runtime_error("disk full"); }, false).text,
            L"运行时错误 '51':\r\n\r\ndisk full");

  // A description longer than the report's text is cut, not overrun.
  const std::wstring endless(5000, L'x');
  const std::wstring cut = Report([&] { throw toolkit::RaisedError(5, L"", endless); }, false).text;
  EXPECT_EQ(cut.rfind(L"运行时错误 '5':\r\n\r\nxxx", 0), 0u) << cut.size();
  EXPECT_LT(cut.size(), endless.size());
}

// Something that is no exception class at all, reported while memory has run
// out: the report still shows, and throws nothing back into the caller.
TEST(ErrorReport, ReportsAnythingThrownEvenWhenNothingCanBeAllocated) {
  const Shown shown = Report([] { throw 42; }, true);
  EXPECT_EQ(shown.text, L"运行时错误 '51':\r\n\r\nInternal error");
  EXPECT_EQ(shown.title, L"Corvantis");
}

}  // namespace
