#include "engine/foundation/gs6_glbl.h"

namespace devazoz {

LockConstants LockConstantsFor(TgsLokProtocol protocol) {
  switch (protocol) {
    case TgsLokProtocol::DB4Lock:
      return {0x40000000u, 0xEFFFFFFFu, 0xB0000000u};
    case TgsLokProtocol::ClipLock:
      return {1000000000u, 1000000000u, 1000000000u};
    case TgsLokProtocol::Default:
    case TgsLokProtocol::FoxLock:
    default:
      return {0x40000000u, 0x7FFFFFFEu, 0x3FFFFFFFu};
  }
}

EngineSettings& Settings() {
  static EngineSettings settings;
  return settings;
}

bool IsTrueLetter(char c) {
  return c != '\0' && Settings().true_letters.find(c) != std::string::npos;
}

}  // namespace devazoz
