#include "engine/index/gs6_ntxpage.h"

#include <algorithm>
#include <cstring>

namespace devazoz {

int NtxMaxKeys(int entry_size) { return 2 * ((1020 / (entry_size + 2) - 1) / 2); }

namespace {

size_t SlotOffset(const NtxPageShape& shape, int slot) {
  return size_t(shape.max_keys + 2) * 2 + size_t(slot) * size_t(shape.EntrySize());
}

}  // namespace

void PutNtxHead(ByteSpan page, const NtxPageShape& shape, uint16_t keys) {
  page.PutU16LE(0, keys);
  for (int i = 0; i <= shape.max_keys; ++i)
    page.PutU16LE(2 + 2 * size_t(i), uint16_t(SlotOffset(shape, i)));
}

void PutNtxSlot(ByteSpan page, const NtxPageShape& shape, int slot, int32_t child, int32_t record,
                const uint8_t* key, uint32_t length) {
  size_t at = SlotOffset(shape, slot);
  page.PutI32LE(at, child);
  page.PutI32LE(at + 4, record);
  uint32_t n = std::min<uint32_t>(length, uint32_t(shape.key_length));
  page.Fill(at + 8, size_t(shape.key_length), ' ');
  page.PutBytes(at + 8, key, n);
}

bool DecodeNtxPage(ByteView page, const NtxPageShape& shape, NodeData& out, std::string* error) {
  out.entries.clear();
  out.pool.clear();
  out.left = out.right = -1;
  const size_t entry = size_t(shape.EntrySize());
  const uint16_t n = page.U16LE(0);
  if (n > shape.max_keys) {
    *error = "holds " + std::to_string(n) + " keys, more than " + std::to_string(shape.max_keys);
    return false;
  }
  auto slot_at = [&](int i, size_t* at) {
    size_t offset = page.U16LE(2 + 2 * size_t(i));
    if (offset < 2 || !page.Has(offset, entry)) {
      *error = "slot " + std::to_string(i + 1) + " lies at " + std::to_string(offset) +
               ", outside the page";
      return false;
    }
    *at = offset;
    return true;
  };
  // A page never written since it was allocated is all zero: an empty leaf.
  if (n == 0 && page.U16LE(2) == 0) {
    out.leaf = true;
    return true;
  }
  size_t first;
  if (!slot_at(0, &first)) return false;
  out.leaf = page.I32LE(first) == 0;
  const size_t slots = out.leaf ? n : size_t(n) + 1;
  out.entries.reserve(slots);
  out.pool.reserve(size_t(n) * size_t(shape.key_length));
  for (size_t i = 0; i < slots; ++i) {
    size_t at;
    if (!slot_at(int(i), &at)) return false;
    int32_t child = page.I32LE(at);
    int32_t record = page.I32LE(at + 4);
    if (out.leaf ? child != 0 : (child <= 0 || child % kNtxPageSize != 0)) {
      *error = "slot " + std::to_string(i + 1) + " has child " + std::to_string(child) +
               (out.leaf ? " in a leaf" : ", which is no page");
      return false;
    }
    NodeEntry e{uint32_t(out.pool.size()), 0, record, out.leaf ? record : child};
    if (i < n) {
      if (record <= 0) {
        *error = "slot " + std::to_string(i + 1) + " has record number " + std::to_string(record);
        return false;
      }
      const uint8_t* key = page.data() + at + 8;
      uint32_t length = uint32_t(shape.key_length);
      if (shape.text)
        while (length > 0 && key[length - 1] == ' ') --length;
      out.pool.insert(out.pool.end(), key, key + length);
      e.length = uint16_t(length);
    } else {
      e.record = 0;
    }
    out.entries.push_back(e);
  }
  return true;
}

void PackNtxPage(ByteSpan page, const NtxPageShape& shape, const NodeData& node, size_t first,
                 size_t count, size_t keys) {
  page.Fill(0, page.size(), 0);
  PutNtxHead(page, shape, uint16_t(keys));
  for (size_t i = 0; i < count; ++i) {
    const NodeEntry& e = node.entries[first + i];
    const uint8_t* key = node.pool.data() + e.offset;
    if (node.leaf) {
      if (i < keys) PutNtxSlot(page, shape, int(i), 0, e.pointer, key, e.length);
    } else if (i < keys) {
      PutNtxSlot(page, shape, int(i), e.pointer, e.record, key, e.length);
    } else {
      PutNtxSlot(page, shape, int(i), e.pointer, 0, nullptr, 0);
    }
  }
}

}  // namespace devazoz
