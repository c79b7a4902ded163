// The error hook a fuzz target runs with. With QVX_FUZZ_RETURNING_HOOK set in the
// environment, engine errors go to a hook that returns instead of raising (as a program's
// hook that shows a message and goes on would): every report must then still leave the
// operation without using what it found wrong.
#ifndef QVX_FUZZ_FUZZ_HOOK_H_
#define QVX_FUZZ_FUZZ_HOOK_H_

#include <cstdint>
#include <cstdlib>

#include "engine/foundation/gs6_eror.h"

namespace fuzz_hook {

inline void IgnoreError(int32_t, int32_t, const char*) {}

inline void ChooseErrorHook() {
  static const bool returning = [] {
    bool on = std::getenv("QVX_FUZZ_RETURNING_HOOK") != nullptr;
    if (on) devazoz::SetErrorHook(&IgnoreError);
    return on;
  }();
  (void)returning;
}

}  // namespace fuzz_hook

#endif  // QVX_FUZZ_FUZZ_HOOK_H_
