#pragma once
// The classes an ATL registration script (a REGISTRY resource) names plainly:
// each {GUID} key directly inside a CLSID block, with the name its
// "= s '...'" gives. Anything the script builds at run time (replacement
// parameters for the CLSID) is out of reach and left out.
#include <string>
#include <vector>

namespace inspection {

struct ScriptClass {
  std::wstring clsid;  // braced, upper case
  std::wstring name;
};

// At most `limit` classes; the text is read once, front to back.
std::vector<ScriptClass> ScriptClasses(const std::wstring& script, std::size_t limit = 4096);

// The script's text from the resource's bytes: UTF-16 when it says so (a byte
// order mark, or zero high bytes), else the ANSI code page as ATL reads it.
std::wstring ScriptText(const void* data, std::size_t size);

}  // namespace inspection
