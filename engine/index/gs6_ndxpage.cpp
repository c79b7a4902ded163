#include "engine/index/gs6_ndxpage.h"

#include <algorithm>
#include <cmath>

#include "engine/index/gs6_cdxnode.h"

namespace devazoz {

bool DecodeNdxBlock(ByteView block, const NdxBlockShape& shape, const std::string& sentinel,
                    int64_t block_limit, NodeData& out, std::string* error) {
  out.entries.clear();
  out.pool.clear();
  out.left = out.right = -1;
  const uint32_t n = block.U32LE(0) & 0xFFFF;
  if (n > uint32_t(shape.max_keys)) {
    *error = "holds " + std::to_string(n) + " keys, more than " + std::to_string(shape.max_keys);
    return false;
  }
  const size_t entry = size_t(shape.entry_size);
  out.leaf = block.I32LE(kNdxEntriesAt) == 0;
  const size_t count = out.leaf ? n : size_t(n) + 1;
  if (!block.Has(kNdxEntriesAt, count * entry)) {
    *error = "holds more entries than fit";
    return false;
  }
  out.entries.reserve(count);
  out.pool.reserve(size_t(n) * 8 + sentinel.size());
  for (size_t i = 0; i < count; ++i) {
    size_t at = kNdxEntriesAt + i * entry;
    int32_t child = block.I32LE(at);
    int32_t record = block.I32LE(at + 4);
    NodeEntry e{uint32_t(out.pool.size()), 0, 0, 0};
    if (out.leaf) {
      if (child != 0 || record <= 0) {
        *error = "entry " + std::to_string(i + 1) + " has child " + std::to_string(child) +
                 " and record " + std::to_string(record) + " in a leaf";
        return false;
      }
      e.record = e.pointer = record;
    } else {
      if (child <= 0 || child >= block_limit) {
        *error = "entry " + std::to_string(i + 1) + " has child block " + std::to_string(child) +
                 ", outside the file";
        return false;
      }
      e.pointer = child * kNdxBlockSize;
    }
    if (i < n) {
      const uint8_t* key = block.data() + at + 8;
      if (shape.text) {
        uint32_t length = uint32_t(shape.key_length);
        while (length > 0 && key[length - 1] == ' ') --length;
        out.pool.insert(out.pool.end(), key, key + length);
        e.length = uint16_t(length);
      } else {
        double value = block.F64LE(at + 8);
        if (std::isnan(value)) value = 0;
        uint8_t bytes[8];
        int length = EncodeCdxNumber(value, bytes);
        out.pool.insert(out.pool.end(), bytes, bytes + length);
        e.length = uint16_t(length);
      }
    } else {
      out.pool.insert(out.pool.end(), sentinel.begin(), sentinel.end());
      e.length = uint16_t(sentinel.size());
    }
    out.entries.push_back(e);
  }
  return true;
}

void PutNdxEntry(ByteSpan block, const NdxBlockShape& shape, int i, int32_t child, int32_t record,
                 const uint8_t* key, uint32_t length) {
  size_t at = kNdxEntriesAt + size_t(i) * size_t(shape.entry_size);
  block.PutI32LE(at, child);
  block.PutI32LE(at + 4, record);
  if (shape.text) {
    block.Fill(at + 8, size_t(shape.key_length), ' ');
    block.PutBytes(at + 8, key, std::min<uint32_t>(length, uint32_t(shape.key_length)));
  } else {
    block.PutF64LE(at + 8, length ? DecodeCdxNumber(key, length) : 0.0);
  }
}

void PackNdxBlock(ByteSpan block, const NdxBlockShape& shape, const NodeData& node, size_t first,
                  size_t count, size_t keys) {
  block.Fill(0, block.size(), 0);
  block.PutU32LE(0, uint32_t(keys));
  for (size_t i = 0; i < count; ++i) {
    const NodeEntry& e = node.entries[first + i];
    const uint8_t* key = node.pool.data() + e.offset;
    if (node.leaf)
      PutNdxEntry(block, shape, int(i), 0, e.pointer, key, e.length);
    else if (i < keys)
      PutNdxEntry(block, shape, int(i), e.pointer / kNdxBlockSize, 0, key, e.length);
    else
      block.PutI32LE(kNdxEntriesAt + i * size_t(shape.entry_size), e.pointer / kNdxBlockSize);
  }
}

}  // namespace devazoz
