// The application's exception handler: where errors go that no caller can
// receive (a memo stream failing to write while it is destroyed). The windowing
// program sets it to show the message in an error box; by default the message is
// written to stderr.
#ifndef PLATFORM_SERVICES_APPHANDLER_H_
#define PLATFORM_SERVICES_APPHANDLER_H_

#include <exception>
#include <functional>

namespace platform {

using ApplicationExceptionHandler = std::function<void(const std::exception& error)>;

// An empty handler restores the default.
void SetApplicationExceptionHandler(ApplicationExceptionHandler handler);
// Hands the error to the handler; never throws.
void HandleApplicationException(const std::exception& error) noexcept;

}  // namespace platform

#endif  // PLATFORM_SERVICES_APPHANDLER_H_
