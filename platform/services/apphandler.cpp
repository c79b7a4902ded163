#include "platform/services/apphandler.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex& HandlerMutex() {
  static std::mutex m;
  return m;
}

ApplicationExceptionHandler& Handler() {
  static ApplicationExceptionHandler handler;
  return handler;
}

}  // namespace

void SetApplicationExceptionHandler(ApplicationExceptionHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  Handler() = std::move(handler);
}

void HandleApplicationException(const std::exception& error) noexcept {
  ApplicationExceptionHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = Handler();
  }
  try {
    if (handler) {
      handler(error);
      return;
    }
  } catch (...) {
  }
  std::fprintf(stderr, "%s\n", error.what());
}

}  // namespace platform
