#include "engine/foundation/gs6_glbl.h"

#include <gtest/gtest.h>

namespace devazoz {
namespace {

TEST(Settings, StartValues) {
  const EngineSettings& s = Settings();
  EXPECT_EQ(s.true_letters, "TtYyJj");
  EXPECT_EQ(s.false_letters, "FfNn");
  EXPECT_EQ(s.lock_wait_time, 5000);
  EXPECT_EQ(s.retry_interval, 50);
  EXPECT_EQ(s.lock_wait_time / s.retry_interval, 100);  // lock attempts
  EXPECT_EQ(s.read_ahead_size, 32768);
  EXPECT_EQ(s.default_index_extension, ".NDX");
  EXPECT_EQ(s.end_of_file_marker, 0x1A);
  EXPECT_EQ(&Settings(), &s);
}

TEST(Settings, TrueLettersFollowTheSetting) {
  for (char c : std::string("TtYyJj")) EXPECT_TRUE(IsTrueLetter(c)) << c;
  for (char c : std::string("FfNn0 1?")) EXPECT_FALSE(IsTrueLetter(c)) << c;
  EXPECT_FALSE(IsTrueLetter('\0'));
  std::string saved = Settings().true_letters;
  Settings().true_letters = "S";
  EXPECT_TRUE(IsTrueLetter('S'));
  EXPECT_FALSE(IsTrueLetter('T'));
  Settings().true_letters = saved;
}

TEST(LockProtocol, ValuesInOrder) {
  EXPECT_EQ(int(TgsLokProtocol::Default), 0);
  EXPECT_EQ(int(TgsLokProtocol::DB4Lock), 1);
  EXPECT_EQ(int(TgsLokProtocol::ClipLock), 2);
  EXPECT_EQ(int(TgsLokProtocol::FoxLock), 3);
}

TEST(LockProtocol, ConstantsOfEachConvention) {
  struct Row {
    TgsLokProtocol protocol;
    uint32_t base, anchor, length;
  };
  const Row rows[] = {
      {TgsLokProtocol::Default, 0x40000000u, 0x7FFFFFFEu, 0x3FFFFFFFu},
      {TgsLokProtocol::DB4Lock, 0x40000000u, 0xEFFFFFFFu, 0xB0000000u},
      {TgsLokProtocol::ClipLock, 1000000000u, 1000000000u, 1000000000u},
      {TgsLokProtocol::FoxLock, 0x40000000u, 0x7FFFFFFEu, 0x3FFFFFFFu},
  };
  for (const Row& r : rows) {
    LockConstants c = LockConstantsFor(r.protocol);
    EXPECT_EQ(c.lock_base, r.base) << int(r.protocol);
    EXPECT_EQ(c.record_anchor, r.anchor) << int(r.protocol);
    EXPECT_EQ(c.file_lock_length, r.length) << int(r.protocol);
  }
  // The file lock of every convention ends within 32 bits.
  for (const Row& r : rows)
    EXPECT_LE(uint64_t(r.base) + r.length, uint64_t(UINT32_MAX) + 1) << int(r.protocol);
}

}  // namespace
}  // namespace devazoz
