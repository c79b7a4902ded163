#include "engine/foundation/gs6_eror.h"

#include <atomic>

#include "engine/foundation/gs6_bytes.h"

namespace devazoz {
namespace {
std::atomic<ErrorHook> g_error_hook{&DefaultErrorHandler};
thread_local int32_t t_last_os_error = 0;
}  // namespace

std::string FormatErrorMessage(int32_t code, int32_t sub_code, const char* info) {
  std::string info_text = info ? info : "";
  if (IsWordedCode(code)) return info_text;
  if (const char* row = ErrorTextFor(code)) {
    std::string head = std::string(row) + " - ";
    if (head.size() > 43) head.resize(43);
    return head + info_text;
  }
  // Any other code is told in words too: what went wrong, the file, and what the
  // engine was doing; a code without words keeps its number, at the end.
  const char* words = MoreErrorTextFor(code);
  std::string msg = words ? words : "Unexpected error";
  if (!info_text.empty()) msg += " - " + info_text;
  std::string detail;
  if (const char* activity = SubCodeActivity(sub_code)) detail = std::string("while ") + activity;
  if (!words) detail += (detail.empty() ? "error " : "; error ") + std::to_string(code);
  if (!detail.empty()) msg += " (" + detail + ")";
  return msg;
}

void DefaultErrorHandler(int32_t code, int32_t sub_code, const char* info) {
  throw EDevazozError(FormatErrorMessage(code, sub_code, info), code, sub_code);
}

ErrorHook GetErrorHook() { return g_error_hook.load(); }
void SetErrorHook(ErrorHook hook) { g_error_hook.store(hook ? hook : &DefaultErrorHandler); }

void ReportEngineError(int32_t code, int32_t sub_code, const char* info) {
  g_error_hook.load()(code, sub_code, info);
}
void ReportEngineError(int32_t code, int32_t sub_code, const std::string& info) {
  ReportEngineError(code, sub_code, info.c_str());
}

int32_t LastOsError() { return t_last_os_error; }
void SetLastOsError(int32_t code) { t_last_os_error = code; }

void ThrowOutOfRange(size_t offset, size_t count, size_t size) {
  throw EDevazozError("Data structure damaged: " + std::to_string(count) + " bytes at offset " +
                      std::to_string(offset) + " lie outside a block of " + std::to_string(size) +
                      " bytes");
}

}  // namespace devazoz
