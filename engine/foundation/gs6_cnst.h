// Error codes, sub-codes and the message table of the engine's error routine.
#ifndef ENGINE_FOUNDATION_GS6_CNST_H_
#define ENGINE_FOUNDATION_GS6_CNST_H_

#include <cstdint>

namespace devazoz {

// Operating-system error numbers the engine produces (Windows numbering, which the
// message table and callers expect).
constexpr int32_t kErrFileNotFound = 2;
constexpr int32_t kErrPathNotFound = 3;
constexpr int32_t kErrTooManyOpenFiles = 4;
constexpr int32_t kErrAccessDenied = 5;
constexpr int32_t kErrInvalidHandle = 6;
constexpr int32_t kErrInvalidAccess = 12;
constexpr int32_t kErrGeneralFailure = 31;
constexpr int32_t kErrSharingViolation = 32;
constexpr int32_t kErrLockViolation = 33;
constexpr int32_t kErrHandleEof = 38;
constexpr int32_t kErrInvalidParameter = 87;
constexpr int32_t kErrDiskFull = 112;
constexpr int32_t kErrAlreadyExists = 183;
constexpr int32_t kErrFilenameTooLong = 206;
constexpr int32_t kErrShortRead = 221;

// Classic run-time I/O errors.
constexpr int32_t kErrDiskRead = 100;
constexpr int32_t kErrDiskWrite = 101;
constexpr int32_t kErrFileNotAssigned = 102;
constexpr int32_t kErrFileNotOpen = 103;

// Engine codes.
constexpr int32_t kErrDbfHeader = 1001;
constexpr int32_t kErrDbfBeyondEof = 1002;
constexpr int32_t kErrDbfFieldName = 1003;
constexpr int32_t kErrDbfFieldType = 1004;
constexpr int32_t kErrMemoFormat = 1005;
constexpr int32_t kErrExpression = 1006;
constexpr int32_t kErrNumberTooLarge = 1011;
// Conditions a program acts on rather than only shows. Their information text is
// the whole message, in words; EDevazozError::Code() tells them apart.
constexpr int32_t kErrTableDamaged = 1021;  // records cut short: open read-only or repair
constexpr int32_t kErrIndexMissing = 1022;  // an index file named by the caller is missing
constexpr int32_t kErrMemoMissing = 1023;   // the table's memo file is missing
constexpr int32_t kErrIndexStale = 1024;    // an index does not match its table
// True for the codes above.
constexpr bool IsWordedCode(int32_t code) { return code >= 1021 && code <= 1029; }
// An index file that cannot be opened because its header is bad (the table
// handler's code).
constexpr int32_t kErrIndexHeader = 2112;

// Sub-codes: where the failure happened.
constexpr int32_t kSubNone = -7;
constexpr int32_t kSubReadAt = 1101;
constexpr int32_t kSubWriteAt = 1102;
constexpr int32_t kSubFileSize = 1105;
constexpr int32_t kSubRename = 1106;
constexpr int32_t kSubOpen = 1107;
constexpr int32_t kSubCreate = 1108;
constexpr int32_t kSubTruncate = 1109;
constexpr int32_t kSubFlush = 1111;
constexpr int32_t kSubMemoLock = 1112;
constexpr int32_t kSubDbfOpen = 1204;
constexpr int32_t kSubDbfRead = 1207;
constexpr int32_t kSubDbfDate = 1251;
constexpr int32_t kSubDbfNumber = 1261;
constexpr int32_t kSubDbfLogic = 1262;
constexpr int32_t kSubDbfFieldName = 1298;
constexpr int32_t kSubDbfFieldType = 1299;
constexpr int32_t kSubHandler = 2105;
constexpr int32_t kSubMemoOpen = 6101;
constexpr int32_t kSubMemoFormat = 6199;

struct ErrorText {
  int32_t code;
  char text[44];  // at most 43 characters and a NUL
};

// The 26 codes the default error handler knows, in search order.
extern const ErrorText kErrorTexts[26];

// The row text for a code, or nullptr when the table has none.
const char* ErrorTextFor(int32_t code);

// Words for the codes outside that table which the engine meets (operating-system
// errors, its own codes), or nullptr for a code it has no words for.
const char* MoreErrorTextFor(int32_t code);

// What the engine was doing at a sub-code's place ("writing"), or nullptr.
const char* SubCodeActivity(int32_t sub_code);

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_CNST_H_
