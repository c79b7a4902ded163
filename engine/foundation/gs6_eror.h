// The engine's exception and its one error routine. Every failure of a disk file,
// table, memo or index is reported as (code, sub-code, information) to the
// process-wide error hook; the default hook builds the message from the code table
// and throws EDevazozError.
#ifndef ENGINE_FOUNDATION_GS6_EROR_H_
#define ENGINE_FOUNDATION_GS6_EROR_H_

#include <cstdint>
#include <string>

#include "engine/foundation/gs6_cnst.h"
#include "platform/services/exception.h"

namespace devazoz {

class EDevazozError : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

using ErrorHook = void (*)(int32_t code, int32_t sub_code, const char* info);

// The message the default handler raises for these arguments.
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
