#include "engine/foundation/gs6_cnst.h"

namespace devazoz {

const ErrorText kErrorTexts[26] = {
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

const char* ErrorTextFor(int32_t code) {
  for (const ErrorText& row : kErrorTexts)
    if (row.code == code) return row.text;
  return nullptr;
}

namespace {

const ErrorText kMoreErrorTexts[] = {
    {kErrInvalidHandle, "File handle is not open"},
    {kErrGeneralFailure, "The disk or device failed"},
    {kErrHandleEof, "File ends too early"},
    {kErrInvalidParameter, "Request cannot be carried out"},
    {kErrDiskFull, "Cannot write, the disk is full"},
    {kErrFilenameTooLong, "File name too long"},
    {kErrShortRead, "File ends too early"},
    {kErrIndexHeader, "Index file cannot be used"},
};

struct Activity {
  int32_t sub_code;
  const char* words;
};

const Activity kActivities[] = {
    {kSubReadAt, "reading"},
    {kSubWriteAt, "writing"},
    {kSubFileSize, "finding the size of the file"},
    {kSubRename, "renaming"},
    {kSubOpen, "opening"},
    {kSubCreate, "creating"},
    {kSubTruncate, "shortening the file"},
    {kSubFlush, "writing to the disk"},
    {kSubMemoLock, "locking the memo file"},
    {kSubDbfOpen, "reading the table header"},
    {kSubDbfRead, "reading a record"},
    {kSubHandler, "packing"},
    {kSubMemoOpen, "opening the memo file"},
    {kSubMemoFormat, "reading a memo"},
};

}  // namespace

const char* MoreErrorTextFor(int32_t code) {
  for (const ErrorText& row : kMoreErrorTexts)
    if (row.code == code) return row.text;
  return nullptr;
}

const char* SubCodeActivity(int32_t sub_code) {
  for (const Activity& a : kActivities)
    if (a.sub_code == sub_code) return a.words;
  return nullptr;
}

}  // namespace devazoz
