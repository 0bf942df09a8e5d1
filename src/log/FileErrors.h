#pragma once

namespace eventlog {

// The classic file-system error codes that the log's routines return.
constexpr short kNoErr = 0;
constexpr short kDskFulErr = -34;
constexpr short kNsvErr = -35;  // no such volume
constexpr short kIoErr = -36;
constexpr short kBdNamErr = -37;
constexpr short kFnfErr = -43;  // file not found
constexpr short kPermErr = -54;
constexpr short kWrPermErr = -61;

// The nearest of those for an errno value.
short FileErrorFromErrno(int error);

}  // namespace eventlog
