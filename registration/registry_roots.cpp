#include "registry_roots.h"

namespace Ostravel {
namespace {

// The redirect targets keep the roots' own names, so that a private key left
// behind reads as what it holds.
const PredefinedRoot kRoots[] = {
    {RegistryRoot::ClassesRoot, HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", L"HKEY_CLASSES_ROOT"},
    {RegistryRoot::LocalMachine, HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"HKEY_LOCAL_MACHINE"},
    {RegistryRoot::CurrentUser, HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"HKEY_CURRENT_USER"},
    {RegistryRoot::Users, HKEY_USERS, L"HKEY_USERS", L"HKEY_USERS"},
    {RegistryRoot::CurrentConfig, HKEY_CURRENT_CONFIG, L"HKEY_CURRENT_CONFIG",
     L"HKEY_CURRENT_CONFIG"},
};

}  // namespace

std::span<const PredefinedRoot> PredefinedRoots() { return kRoots; }

const PredefinedRoot& Predefined(RegistryRoot root) { return kRoots[static_cast<int>(root)]; }

}  // namespace Ostravel
