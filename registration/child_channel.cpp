#include "child_channel.h"

#include <objbase.h>

namespace Ostravel {

std::wstring NewUniqueName() {
  GUID guid{};
  wchar_t text[40] = {};
  if (FAILED(CoCreateGuid(&guid)) || !StringFromGUID2(guid, text, 40)) return {};
  return text;
}

std::wstring PipeName(const std::wstring& id) { return L"\\\\.\\pipe\\Corvantis.Child." + id; }

toolkit::OwnedHandle NewKillOnCloseJob() {
  toolkit::OwnedHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                      sizeof limits)) {
    job.reset();
  }
  return job;
}

}  // namespace Ostravel
