#include "user/hooks.h"

#include <atomic>

namespace ce::user {
namespace {

constinit std::atomic<ClassRegistrar> g_standardClasses{nullptr};
constinit std::atomic<void (*)()> g_beforeTopLevel{nullptr};
constinit std::atomic<void (*)()> g_foregroundChanged{nullptr};

void Run(const std::atomic<void (*)()>& hook) {
  if (const auto call = hook.load()) call();
}

}  // namespace

void SetStandardClasses(ClassRegistrar registrar) { g_standardClasses.store(registrar); }

void SetShellWindows(const ShellWindows& shell) {
  g_beforeTopLevel.store(shell.beforeTopLevel);
  g_foregroundChanged.store(shell.foregroundChanged);
}

void RegisterStandardClasses() { Run(g_standardClasses); }
void ShellBeforeTopLevel() { Run(g_beforeTopLevel); }
void ShellForegroundChanged() { Run(g_foregroundChanged); }

}  // namespace ce::user
