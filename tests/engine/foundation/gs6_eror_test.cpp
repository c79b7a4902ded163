#include "engine/foundation/gs6_eror.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "engine/foundation/gs6_cnst.h"

namespace devazoz {
namespace {

struct Reported {
  int calls = 0;
  int32_t code = 0, sub_code = 0;
  std::string info;
  bool info_absent = false;
};
Reported g_reported;

void CaptureHook(int32_t code, int32_t sub_code, const char* info) {
  ++g_reported.calls;
  g_reported.code = code;
  g_reported.sub_code = sub_code;
  g_reported.info_absent = info == nullptr;
  g_reported.info = info ? info : "";
}

TEST(ErrorTable, HoldsTheTwentySixCodesInSearchOrder) {
  const std::pair<int32_t, const char*> expected[26] = {
      {2, "File not found"},
      {3, "Path not found"},
      {4, "Too many open files"},
      {5, "File access denied"},
      {12, "Invalid file access code"},
      {15, "Invalid drive number"},
      {32, "File access denied"},
      {33, "Record locked by another user"},
      {100, "Disk read error"},
      {101, "Disk write error"},
      {102, "File not assigned"},
      {103, "File not open"},
      {104, "File not open for input"},
      {105, "File not open for output"},
      {106, "Invalid numeric format"},
      {150, "Disk is write-protected"},
      {152, "Drive not ready"},
      {162, "Hardware failure"},
      {183, "File already exists"},
      {1001, "dBase DBF file header invalid"},
      {1002, "dBase record request beyond EOF"},
      {1003, "dBase field name is invalid"},
      {1004, "dBase field is of incorrect type"},
      {1005, "dBase memo record has format error"},
      {1006, "Formula expression cannot be translated"},
      {1011, "Number too large to fit in field"},
  };
  for (int i = 0; i < 26; ++i) {
    EXPECT_EQ(kErrorTexts[i].code, expected[i].first) << i;
    EXPECT_STREQ(kErrorTexts[i].text, expected[i].second) << i;
    EXPECT_LE(std::strlen(kErrorTexts[i].text), 43u);
    EXPECT_STREQ(ErrorTextFor(expected[i].first), expected[i].second);
  }
  for (int32_t missing : {0, 1, 6, 31, 87, 112, 221, 1000, 1007, 1108, -5})
    EXPECT_EQ(ErrorTextFor(missing), nullptr) << missing;
}

TEST(ErrorMessage, KnownCodeGivesRowTextAndInfo) {
  EXPECT_EQ(FormatErrorMessage(5, 1109, "C:\\DATA\\QVXCAT.DBF"),
            "File access denied - C:\\DATA\\QVXCAT.DBF");
  EXPECT_EQ(FormatErrorMessage(33, kSubNone, "T.DBF"), "Record locked by another user - T.DBF");
  EXPECT_EQ(FormatErrorMessage(2, kSubNone, nullptr), "File not found - ");
  EXPECT_EQ(FormatErrorMessage(1006, 7, "X"), "Formula expression cannot be translated - X");
  // Code 32 shares the text of code 5.
  EXPECT_EQ(FormatErrorMessage(32, 1107, "F"), "File access denied - F");
}

TEST(ErrorMessage, OtherCodesAreToldInWords) {
  // No carriage return and no code numbers in front: what went wrong, the file,
  // what the engine was doing.
  EXPECT_EQ(FormatErrorMessage(kErrDiskFull, kSubWriteAt, "/data/QVXCAT.DBF"),
            "Cannot write, the disk is full - /data/QVXCAT.DBF (while writing)");
  EXPECT_EQ(FormatErrorMessage(kErrIndexHeader, kSubNone, "/data/T.NTX: header has key length 0"),
            "Index file cannot be used - /data/T.NTX: header has key length 0");
  EXPECT_EQ(FormatErrorMessage(kErrGeneralFailure, kSubFlush, "F"),
            "The disk or device failed - F (while writing to the disk)");
  // A code without words keeps its number, at the end.
  EXPECT_EQ(FormatErrorMessage(1234, 1107, "C:\\DATA\\QVXCAT.DBF"),
            "Unexpected error - C:\\DATA\\QVXCAT.DBF (while opening; error 1234)");
  EXPECT_EQ(FormatErrorMessage(77, kSubNone, nullptr), "Unexpected error (error 77)");
  EXPECT_EQ(FormatErrorMessage(77, kSubNone, ""), "Unexpected error (error 77)");
  EXPECT_EQ(FormatErrorMessage(77, 1101, nullptr), "Unexpected error (while reading; error 77)");
  EXPECT_EQ(FormatErrorMessage(-3, 0, "F"), "Unexpected error - F (error -3)");
  for (int32_t code : {6, 31, 38, 77, 87, 112, 206, 221, 2112, 1234})
    for (int32_t sub : {kSubNone, kSubReadAt, kSubWriteAt, kSubOpen, kSubDbfRead, 0}) {
      std::string msg = FormatErrorMessage(code, sub, "/x/F.DBF");
      EXPECT_EQ(msg.find('\r'), std::string::npos) << msg;
      EXPECT_EQ(msg.find("Devazoz Error"), std::string::npos) << msg;
      EXPECT_NE(msg.find("/x/F.DBF"), std::string::npos) << msg;
    }
}

TEST(ErrorMessage, RowTextAndSeparatorStayWithinFortyThreeCharacters) {
  for (const ErrorText& row : kErrorTexts) {
    std::string msg = FormatErrorMessage(row.code, kSubNone, "");
    EXPECT_LE(msg.size(), 43u) << msg;
    EXPECT_EQ(msg, std::string(row.text) + " - ");
  }
}

TEST(ErrorHook, DefaultHandlerRaisesEDevazozError) {
  EXPECT_EQ(GetErrorHook(), &DefaultErrorHandler);
  try {
    ReportEngineError(1001, kSubDbfOpen, "C:\\T.DBF");
    FAIL() << "nothing raised";
  } catch (const platform::Exception& e) {
    EXPECT_NE(dynamic_cast<const EDevazozError*>(&e), nullptr);
    EXPECT_EQ(e.Message(), "dBase DBF file header invalid - C:\\T.DBF");
    EXPECT_STREQ(e.what(), "dBase DBF file header invalid - C:\\T.DBF");
  }
  EXPECT_THROW(ReportEngineError(9999, kSubNone, std::string("x")), EDevazozError);
}

TEST(ErrorHook, ReplacedHookReceivesArgumentsUnchanged) {
  g_reported = {};
  SetErrorHook(&CaptureHook);
  ReportEngineError(1234, 1107, "INFO");
  EXPECT_EQ(g_reported.calls, 1);
  EXPECT_EQ(g_reported.code, 1234);
  EXPECT_EQ(g_reported.sub_code, 1107);
  EXPECT_EQ(g_reported.info, "INFO");
  ReportEngineError(5, kSubNone, static_cast<const char*>(nullptr));
  EXPECT_TRUE(g_reported.info_absent);
  ReportEngineError(5, 1, std::string("text"));
  EXPECT_EQ(g_reported.info, "text");
  EXPECT_EQ(g_reported.calls, 3);
  // Setting no hook puts the default one back.
  SetErrorHook(nullptr);
  EXPECT_EQ(GetErrorHook(), &DefaultErrorHandler);
  EXPECT_THROW(ReportEngineError(2, kSubNone, "x"), EDevazozError);
}

TEST(ErrorHook, LastOsErrorBelongsToTheThread) {
  SetLastOsError(33);
  int32_t seen_elsewhere = -1;
  std::thread other([&] {
    seen_elsewhere = LastOsError();
    SetLastOsError(5);
  });
  other.join();
  EXPECT_EQ(seen_elsewhere, 0);
  EXPECT_EQ(LastOsError(), 33);
  SetLastOsError(0);
}

}  // namespace
}  // namespace devazoz
