// The engine's exception and its one error routine. Every failure of a disk file,
// table, memo or index is reported as (code, sub-code, information) to the
// process-wide error hook; the default hook builds the message from the code table
// and throws EDevazozError.
#ifndef ENGINE_FOUNDATION_GS6_EROR_H_
#define ENGINE_FOUNDATION_GS6_EROR_H_

#include <cstdint>
#include <string>
#include <utility>

#include "engine/foundation/gs6_cnst.h"
#include "platform/services/exception.h"

namespace devazoz {

// The engine's exception: a message, and the code and sub-code it was reported
// with (0 and kSubNone when raised directly with a text), so that a program can
// recognise the conditions it acts on (kErrTableDamaged, kErrIndexMissing, ...).
class EDevazozError : public platform::Exception {
 public:
  explicit EDevazozError(std::string message, int32_t code = 0, int32_t sub_code = kSubNone)
      : platform::Exception(std::move(message)), code_(code), sub_code_(sub_code) {}
  int32_t Code() const { return code_; }
  int32_t SubCode() const { return sub_code_; }

 private:
  int32_t code_;
  int32_t sub_code_;
};

using ErrorHook = void (*)(int32_t code, int32_t sub_code, const char* info);

// The message the default handler raises for these arguments: a code of the
// message table gives its row text, " - " and the information; any other code
// is told in words with the information and what the engine was doing.
std::string FormatErrorMessage(int32_t code, int32_t sub_code, const char* info);
[[noreturn]] void DefaultErrorHandler(int32_t code, int32_t sub_code, const char* info);

ErrorHook GetErrorHook();
void SetErrorHook(ErrorHook hook);

// Calls the hook. With the default hook this never returns; callers that continue
// after it do so only for a hook that returns.
void ReportEngineError(int32_t code, int32_t sub_code, const char* info);
void ReportEngineError(int32_t code, int32_t sub_code, const std::string& info);

// The thread's last-error value, as the platform's last-error query would give it.
int32_t LastOsError();
void SetLastOsError(int32_t code);

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_EROR_H_
