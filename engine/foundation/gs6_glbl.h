// Process-wide engine settings, the lock conventions and the root object class.
#ifndef ENGINE_FOUNDATION_GS6_GLBL_H_
#define ENGINE_FOUNDATION_GS6_GLBL_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace devazoz {

// The root of every engine object that a collection may own.
class TgsObject {
 public:
  TgsObject() = default;
  TgsObject(const TgsObject&) = delete;
  TgsObject& operator=(const TgsObject&) = delete;
  virtual ~TgsObject() = default;
};

// Locking convention of a table and its memo and index files.
enum class TgsLokProtocol : uint8_t { Default, DB4Lock, ClipLock, FoxLock };

// The three values a convention places its lock regions with.
struct LockConstants {
  uint32_t lock_base;
  uint32_t record_anchor;
  uint32_t file_lock_length;
};
LockConstants LockConstantsFor(TgsLokProtocol protocol);

// Settings other parts of the engine read; code may change them at run time.
struct EngineSettings {
  std::string true_letters = "TtYyJj";
  std::string false_letters = "FfNn";
  uint16_t lock_wait_time = 5000;  // milliseconds
  uint16_t retry_interval = 50;    // milliseconds
  uint16_t read_ahead_size = 32768;
  // Decoded index nodes an index file opened exclusively keeps in memory (0: none).
  size_t index_cache_bytes = size_t(8) << 20;
  std::string default_index_extension = ".NDX";
  uint8_t end_of_file_marker = 0x1A;
};
EngineSettings& Settings();

// True when c is one of the true letters.
bool IsTrueLetter(char c);

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_GLBL_H_
