// TgsScopeExit: runs an action when the scope ends, however it ends. The engine
// uses it to put back what an operation changed for its duration (the current
// record, the current tag, the read-ahead state, a flag, a lock) so that every
// way out, an exception included, restores the same things in the same order.
//
// Guards run in reverse order of declaration. An action that throws while an
// exception is already on its way out is silenced: the first failure is the one
// the caller sees (a second one would end the process). On a normal exit the
// action's exception passes to the caller.
#ifndef ENGINE_FOUNDATION_GS6_SCOPE_H_
#define ENGINE_FOUNDATION_GS6_SCOPE_H_

#include <exception>
#include <utility>

namespace devazoz {

template <typename Action>
class TgsScopeExit {
 public:
  explicit TgsScopeExit(Action action)
      : action_(std::move(action)), exceptions_(std::uncaught_exceptions()) {}
  TgsScopeExit(const TgsScopeExit&) = delete;
  TgsScopeExit& operator=(const TgsScopeExit&) = delete;

  ~TgsScopeExit() noexcept(false) {
    if (dismissed_) return;
    if (std::uncaught_exceptions() > exceptions_) {
      try {
        action_();
      } catch (...) {
      }
    } else {
      action_();
    }
  }

  // The action will not run.
  void Dismiss() { dismissed_ = true; }

 private:
  Action action_;
  int exceptions_;
  bool dismissed_ = false;
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_SCOPE_H_
