#pragma once

namespace va5 {

// Request types of the transaction engine. They travel as the kind of the worker's
// completion message, next to the messages below.
enum RequestType : int {
  RequestPoll = 400,              // 3, 2 (run by the idle worker)
  RequestIdentify = 401,          // 0
  RequestUpload = 402,            // 0, 130, 14, 15, 13, 132, 12, 16, 134, 3
  RequestMonitorOn = 403,         // no command
  RequestWriteSensor = 404,       // 131
  RequestReadSensorInfo = 405,    // 14, 15, 3, 132
  RequestWritePvUnit = 406,       // 44
  RequestReadAfterUnit = 407,     // 3, 14, 15
  RequestWriteRange = 408,        // 35
  RequestWriteDamping = 409,      // 34
  RequestWriteBurnout = 410,      // 135
  RequestWriteCjc = 411,          // 133
  RequestWriteTransfer = 412,     // 47
  RequestWriteTermUnit = 413,     // 142
  RequestReadTermSetting = 414,   // 145
  RequestWriteTag = 415,          // 18
  RequestWriteMessage = 416,      // 17
  RequestFixedCurrent = 418,      // 40
  RequestWriteSerial = 422,       // 49
  RequestWriteFinalAssembly = 423,  // 19
  RequestDeviceReset = 424,       // 42, then the reset wait
  RequestWriteTermUnit2 = 425,    // 142
  RequestWritePair = 426,         // 138
  RequestTrimModeCurrent = 429,   // 40
  RequestTrimDac = 430,           // 45 (lower) or 46 (upper)
  RequestClearDacTrim = 431,      // 158
  RequestLeaveTrimFixed = 432,    // 40
  RequestCloseTrimFixed = 433,    // 40
  RequestReadSensorTrim = 434,    // 140
  RequestWriteSensorTrim = 435,   // 141
  RequestReadFloatSetting = 436,  // 154
  RequestWriteFloatSetting = 437,  // 155
  RequestReadTriple = 438,        // 162
  RequestWriteTriple = 439,       // 163
  RequestSelfTest = 440,          // 41, then the self-test wait
  RequestResetConfigChanged = 441,  // 38
  RequestAdditionalStatus = 442,  // 48
  RequestReadTcHeader = 444,      // 180
  RequestReadTcPoint = 445,       // 182
  RequestWriteTcHeader = 446,     // 181
  RequestWriteTcPoint = 447,      // 183
  RequestReadRtdHeader = 448,     // 184
  RequestReadRtdPoint = 449,      // 186
  RequestWriteRtdHeader = 450,    // 185
  RequestWriteRtdPoint = 451,     // 187
  RequestWriteBlock = 452,        // 144
  RequestReadCurveHeader = 453,   // 188
  RequestWriteCurveSize = 454,    // 189
  RequestReadCurvePoint = 455,    // 190
  RequestWriteCurvePoint = 456,   // 191
  RequestWritePollingAddress = 457,  // 6
  RequestWritePreambles = 458,    // 59
  RequestReadIdentity = 459,      // 0
};

// Other kinds of the worker's messages (kind, detail).
inline constexpr int MessageFailure = 209;   // (209, request type): waiting for an answer
inline constexpr int MessageProgress = 300;  // (300, percentage)
inline constexpr int MessageWorkerEnded = 301;  // (301, 0)
inline constexpr int MessageOpened = 302;       // (302, HartResult): a port open has ended

// Private reply message numbers of the panels (WM_APP + n).
inline constexpr int MessageBase = 0x8000;
inline constexpr int ReplySensorInfo = MessageBase + 1;
inline constexpr int ReplyConnect = MessageBase + 2;
inline constexpr int ReplyDetailedInfo = MessageBase + 4;
inline constexpr int ReplyAnalogOutput = MessageBase + 5;
inline constexpr int ReplyTrimDac = MessageBase + 7;
inline constexpr int ReplySensorCalib = MessageBase + 8;
inline constexpr int ReplyDiagnostics = MessageBase + 10;
inline constexpr int ReplyCustomTc = MessageBase + 12;
inline constexpr int ReplyCustomRtd = MessageBase + 13;
inline constexpr int ReplySpecialCurve = MessageBase + 14;
inline constexpr int ReplyPollingAddress = MessageBase + 15;
inline constexpr int ReplyFileEditor = MessageBase + 16;

}  // namespace va5
