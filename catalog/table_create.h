// Writes new, empty tables and memo files (a new catalog, the sample). The engine
// works on existing files only, so the headers are laid down here.
//
// Empty FoxPro table (version 0xF5): the 32-byte header, 32 bytes per field
// descriptor, the 0x0D terminator, then the 0x1A end byte (no records yet).
// Empty FPT memo file, big-endian: bytes 0..3 the next free block (512 / block
// size: the header occupies the first 512 bytes), bytes 6..7 the block size, zeros
// to offset 512.
#ifndef CATALOG_TABLE_CREATE_H_
#define CATALOG_TABLE_CREATE_H_

#include <string>
#include <vector>

namespace catalog {

struct NewField {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

// Raises EDevazozError when the file cannot be written; the file is then left as
// it was (or absent), never empty or half-written.
void CreateEmptyTable(const std::string& path, unsigned char version,
                      const std::vector<NewField>& fields);
void CreateEmptyFpt(const std::string& path, int block_size);

}  // namespace catalog

#endif  // CATALOG_TABLE_CREATE_H_
