#include "comm/CommandSet.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "base/NumberText.h"
#include "comm/Codecs.h"
#include "comm/RequestTypes.h"

namespace va5 {

namespace {

constexpr std::int16_t UnitMilliampere = 39;

// ---------------------------------------------------------------------------------------------
// Helpers

// Reply data: byte k of a command's reply follows the response code and the device status.
const std::uint8_t* Reply(const LinkState& link) { return link.data.data() + 2; }

// Request data: every builder starts from zeros, so bytes it does not set go out as 0.
std::uint8_t* Request(LinkState& link) {
  link.data.fill(0);
  return link.data.data();
}

std::int16_t Code(std::uint8_t byte) { return byte; }
double Float(const std::uint8_t* p) { return GetFloat(p); }
void PutNumberText(std::uint8_t* p, const std::string& text) {
  PutFloat(p, ToWireFloat(TextToDouble(text)));
}
void PutValue(std::uint8_t* p, double v) { PutFloat(p, ToWireFloat(v)); }

std::string Decimal(unsigned value) { return std::to_string(value); }

// A table size the device reports, kept to 0 ... capacity + 1: one more than the record's arrays
// hold stands for every larger size, so that a table too large for the record is told from a
// full one (and its points are not read), while the number stays small.
int ClampSize(long size, int capacity) {
  return static_cast<int>(std::clamp<long>(size, 0, capacity + 1L));
}

// The text of an upload buffer entry, or nothing for an index the buffer does not have.
template <typename Array>
const std::string* UploadText(const Array& texts, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= texts.size()) return nullptr;
  return &texts[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------------------------------------
// Decoders

void DecodeIdentity(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  link.identityManufacturer = r[1];
  link.identityDeviceType = r[2];
  link.identityFlags = r[8];
  link.identityDeviceId = {r[9], r[10], r[11]};
  record.manufacturerName = ManufacturerName(r[1]);
  record.modelName = ModelName(r[1], r[2]);
  record.preamblesText = Decimal(r[3]);
  record.universalRevisionText = Decimal(r[4]);
  record.specificRevisionText = Decimal(r[5]);
  record.softwareRevisionText = Decimal(r[6]);
  // Hardware revision (bits 7-3) and physical signalling code (bits 2-0): "revision.code".
  record.hardwareRevisionText = Decimal(r[7] >> 3) + "." + Decimal(r[7] & 0x07);
  // Up to 16777215: eight digits for ids from 10,000,000 up.
  record.deviceIdText = Decimal(GetU24(r + 9));
}

void DecodeLoopCurrentAndPercent(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.loopCurrent = Float(r);
  record.percentOfRange = Float(r + 4);
}

void DecodeDynamicVariables(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.loopCurrent = Float(r);
  record.pvUnit = Code(r[4]);
  record.pvValue = Float(r + 5);
  record.terminalUnit = Code(r[9]);
  record.terminalTemperature = Float(r + 10);
  record.loopCurrentUnit = UnitMilliampere;
}

void DecodePollingAddress(LinkState& link, DeviceRecord& record) {
  // A value above 15 would reach into the master and burst bits of the address byte.
  const std::int16_t address = ValidPollingAddress(Reply(link)[0]);
  record.pollingAddress = address;
  link.pollingAddress = address;  // command 0 reaches the device at its new address
}

void DecodeMessage(LinkState& link, DeviceRecord& record) {
  record.message = UnpackAscii(Reply(link), 24);
}

void DecodeTagDescriptorDate(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.tag = UnpackAscii(r, 6);
  record.descriptor = UnpackAscii(r + 6, 12);
  record.dateText = DecodeDate(r[18], r[19], r[20]);
}

void DecodeTransducerInfo(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.sensorSerialNumber = GetU24(r);
  record.pvUnit = Code(r[3]);
  record.upperSensorLimit = Float(r + 4);
  record.lowerSensorLimit = Float(r + 8);
  record.minimumSpan = Float(r + 12);
}

void DecodeOutputInfo(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  // r[0] is the alarm selection code, which this tool does not use.
  record.transferFunction = Code(r[1]);
  record.pvUnit = Code(r[2]);
  record.upperRangeValue = Float(r + 3);
  record.lowerRangeValue = Float(r + 7);
  record.damping = Float(r + 11);
}

void DecodeFinalAssembly(LinkState& link, DeviceRecord& record) {
  record.finalAssemblyNumber = GetU24(Reply(link));
}

void DecodeDamping(LinkState& link, DeviceRecord& record) { record.damping = Float(Reply(link)); }

void DecodeRangeValues(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.pvUnit = Code(r[0]);
  record.upperRangeValue = Float(r + 1);
  record.lowerRangeValue = Float(r + 5);
}

void DecodeLoopCurrent(LinkState& link, DeviceRecord& record) {
  record.loopCurrent = Float(Reply(link));
}

void DecodePvUnit(LinkState& link, DeviceRecord& record) { record.pvUnit = Code(Reply(link)[0]); }

void DecodeTransferFunction(LinkState& link, DeviceRecord& record) {
  record.transferFunction = Code(Reply(link)[0]);
}

void DecodeAdditionalStatus(LinkState& link, DeviceRecord& record) {
  std::copy_n(Reply(link), record.additionalStatus.size(), record.additionalStatus.begin());
}

void DecodeSensorSerial(LinkState& link, DeviceRecord& record) {
  record.sensorSerialNumber = GetU24(Reply(link));
}

void DecodePreambles(LinkState& link, DeviceRecord& record) {
  record.responsePreambles = Code(Reply(link)[0]);
}

void DecodeSensorConfig(LinkState& link, DeviceRecord& record) {
  record.sensorType = Code(Reply(link)[0]);
  record.sensorWires = Code(Reply(link)[1]);
}

void DecodeCjc(LinkState& link, DeviceRecord& record) { record.cjcMode = Code(Reply(link)[0]); }

void DecodeBurnout(LinkState& link, DeviceRecord& record) { record.burnout = Code(Reply(link)[0]); }

void DecodePair(LinkState& link, DeviceRecord& record) {
  record.pairValues = {Float(Reply(link)), Float(Reply(link) + 4)};
}

void StoreSensorTrim(const std::uint8_t* p, DeviceRecord& record) {
  record.sensorTrimZeroPoint = Float(p);
  record.sensorTrimZeroValue = Float(p + 4);
  record.sensorTrimGain = Float(p + 8);
}

void DecodeSensorTrim(LinkState& link, DeviceRecord& record) {
  StoreSensorTrim(Reply(link), record);
}

void DecodeSensorTrimPoint(LinkState& link, DeviceRecord& record) {
  // Byte 0 repeats the calibration point of the request (a reply for another point never
  // gets here), byte 1 names the unit of the values.
  StoreSensorTrim(Reply(link) + 2, record);
}

void DecodeTerminalUnit(LinkState& link, DeviceRecord& record) {
  record.terminalUnit = Code(Reply(link)[0]);
}

void DecodeBlock(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  for (std::size_t i = 0; i < record.blockValues.size(); ++i) {
    record.blockValues[i] = Float(r + 4 * i);
  }
  record.blockReplyWords = {GetS16(r + 16), GetS16(r + 18)};
}

void DecodeTerminalSetting(LinkState& link, DeviceRecord& record) {
  record.terminalUnit = Code(Reply(link)[0]);
  record.terminalSetting = Float(Reply(link) + 1);
}

void DecodeFloatSetting(LinkState& link, DeviceRecord& record) {
  record.floatSetting = Float(Reply(link));
}

void DecodeDacTrimClear(LinkState& link, DeviceRecord& record) {
  record.dacTrimValues = {Float(Reply(link)), Float(Reply(link) + 4)};
}

void DecodeTriple(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.tripleSetting = {Float(r), Float(r + 4), Float(r + 8)};
}

void DecodeTableHeader(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.customTableHeaderWord = GetU16(r);
  record.customTableSize = ClampSize(GetU16(r + 2), CustomTableMaxPoints);
  record.customTableStep = r[4];
  record.customTableState = r[5];
  record.customTableMinimum = GetS16(r + 6);
}

void DecodeTableHeaderWrite(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.customTableSize = ClampSize(GetU16(r), CustomTableMaxPoints);
  record.customTableStep = r[2];
  record.customTableMinimum = GetS16(r + 3);
}

// Point replies name their index; an index the record cannot hold (the end marker among them)
// stores nothing.
void DecodeTablePoint(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  const int index = GetU16(r);
  if (index == TableEndIndex || index >= CustomTableMaxPoints) return;
  record.customTableValues[static_cast<std::size_t>(index)] = Float(r + 2);
}

void DecodeCurveHeader(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  record.specialCurveHeaderWord = GetU16(r);
  record.specialCurveSize = ClampSize(GetS16(r + 2), SpecialCurveMaxPoints);
  record.specialCurveState = r[4];
}

void DecodeCurveSize(LinkState& link, DeviceRecord& record) {
  record.specialCurveSize = ClampSize(GetS16(Reply(link)), SpecialCurveMaxPoints);
}

// The device holds fractions, the table holds percent.
void DecodeCurvePoint(LinkState& link, DeviceRecord& record) {
  const std::uint8_t* r = Reply(link);
  const int index = GetU16(r);
  if (index == TableEndIndex || index >= SpecialCurveMaxPoints) return;
  record.specialCurveX[static_cast<std::size_t>(index)] = Float(r + 2) * 100.0;
  record.specialCurveY[static_cast<std::size_t>(index)] = Float(r + 6) * 100.0;
}

// ---------------------------------------------------------------------------------------------
// Builders

void BuildPollingAddress(const DeviceRecord& record, LinkState& link) {
  Request(link)[0] = static_cast<std::uint8_t>(record.requestPollingAddress);
}

void BuildMessage(const DeviceRecord& record, LinkState& link) {
  PackAscii(Request(link), record.requestMessage, MessageLength);
}

void BuildTagDescriptorDate(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  PackAscii(d, record.requestTag, TagLength);
  PackAscii(d + 6, record.requestDescriptor, DescriptorLength);
  EncodeDate(d + 18, record.requestDate);
}

void BuildFinalAssembly(const DeviceRecord& record, LinkState& link) {
  PutU24(Request(link), record.requestFinalAssemblyNumber);
}

void BuildDamping(const DeviceRecord& record, LinkState& link) {
  PutNumberText(Request(link), record.dampingText);
}

void BuildRangeValues(const DeviceRecord& record, LinkState& link) {
  const RangePair range =
      AdjustRangeValues(TextToDouble(record.upperRangeText), TextToDouble(record.lowerRangeText),
                        record.upperSensorLimit, record.lowerSensorLimit, record.minimumSpan);
  std::uint8_t* d = Request(link);
  d[0] = static_cast<std::uint8_t>(record.requestUnit);
  PutValue(d + 1, range.upper);
  PutValue(d + 5, range.lower);
}

void BuildFixedCurrent(const DeviceRecord& record, LinkState& link) {
  PutNumberText(Request(link), record.fixedCurrentText);
}

void BuildPvUnit(const DeviceRecord& record, LinkState& link) {
  Request(link)[0] = static_cast<std::uint8_t>(record.requestUnit);
}

void BuildTrimCurrent(const DeviceRecord& record, LinkState& link) {
  PutNumberText(Request(link), record.trimCurrentText);
}

void BuildTransferFunction(const DeviceRecord& record, LinkState& link) {
  Request(link)[0] = static_cast<std::uint8_t>(record.requestTransferFunction);
}

void BuildSensorSerial(const DeviceRecord& record, LinkState& link) {
  PutU24(Request(link), record.requestSerialNumber);
}

void BuildPreambles(const DeviceRecord& record, LinkState& link) {
  Request(link)[0] = static_cast<std::uint8_t>(record.requestPreambles);
}

void BuildSensorConfig(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  d[0] = static_cast<std::uint8_t>(record.requestSensorType);
  d[1] = static_cast<std::uint8_t>(record.requestSensorWires);
}

void BuildCjc(const DeviceRecord& record, LinkState& link) {
  Request(link)[0] = static_cast<std::uint8_t>(record.requestCjcMode);
}

void BuildBurnout(const DeviceRecord& record, LinkState& link) {
  Request(link)[0] = static_cast<std::uint8_t>(record.requestBurnout);
}

void BuildPair(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  PutNumberText(d, record.pairTexts[0]);
  PutNumberText(d + 4, record.pairTexts[1]);
}

void BuildSensorTrimPoint(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  d[0] = record.calibrationPoint;
  d[1] = record.calibrationUnit;
  PutNumberText(d + 2, record.calibrationValueText);
}

void BuildTerminalUnit(const DeviceRecord& record, LinkState& link) {
  Request(link)[0] = static_cast<std::uint8_t>(record.requestTerminalUnit);
}

void BuildBlock(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  for (std::size_t i = 0; i < record.blockTexts.size(); ++i) {
    PutNumberText(d + 4 * i, record.blockTexts[i]);
  }
  PutU16(d + 16, static_cast<std::uint16_t>(record.blockWords[0]));
  PutU16(d + 18, static_cast<std::uint16_t>(record.blockWords[1]));
}

void BuildFloatSetting(const DeviceRecord& record, LinkState& link) {
  PutNumberText(Request(link), record.floatSettingText);
}

void BuildClearDacTrim(const DeviceRecord&, LinkState& link) { Request(link)[0] = 1; }

void BuildTriple(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  d[0] = record.tripleSelector;
  PutNumberText(d + 1, record.tripleText);
}

void BuildTableHeader(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  PutU16(d, static_cast<std::uint16_t>(record.uploadTableSize));
  d[2] = static_cast<std::uint8_t>(TextToLong(record.uploadStepText));
  PutU16(d + 3, static_cast<std::uint16_t>(TextToLong(record.uploadMinimumText)));
}

void BuildPointIndex(const DeviceRecord& record, LinkState& link) {
  PutU16(Request(link), static_cast<std::uint16_t>(record.tablePointIndex));
}

// The end marker, and any index without an upload text, carries the value 0.
void BuildTablePoint(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  const int index = record.tablePointIndex;
  PutU16(d, static_cast<std::uint16_t>(index));
  const std::string* text = UploadText(record.uploadValueTexts, index);
  if (index != TableEndIndex && text) PutNumberText(d + 2, *text);
}

void BuildCurveSize(const DeviceRecord& record, LinkState& link) {
  PutU16(Request(link), static_cast<std::uint16_t>(record.uploadCurveSize));
}

void BuildCurvePoint(const DeviceRecord& record, LinkState& link) {
  std::uint8_t* d = Request(link);
  const int index = record.tablePointIndex;
  PutU16(d, static_cast<std::uint16_t>(index));
  const std::string* x = UploadText(record.uploadCurveXTexts, index);
  const std::string* y = UploadText(record.uploadCurveYTexts, index);
  if (index == TableEndIndex || !x || !y) return;
  PutValue(d + 2, TextToDouble(*x) / 100.0);
  PutValue(d + 6, TextToDouble(*y) / 100.0);
}

// ---------------------------------------------------------------------------------------------
// Tables

constexpr CommandDescriptor kEnd{CommandListEnd, CommandListEnd, nullptr, nullptr};

// The command table: every command the tool sends, in ascending order. Number, request byte
// count, decoder, builder, the reply data bytes its decoder reads, and the request bytes its
// reply repeats. A reply to a point or a trim point names the point it answers: a late reply to
// the point before must not pass for this one's.
constexpr CommandDescriptor kCommands[] = {
    {0, 0, DecodeIdentity, nullptr, 12},
    {2, 0, DecodeLoopCurrentAndPercent, nullptr, 8},
    {3, 0, DecodeDynamicVariables, nullptr, 14},
    {6, 1, DecodePollingAddress, BuildPollingAddress, 1},
    {12, 0, DecodeMessage, nullptr, 24},
    {13, 0, DecodeTagDescriptorDate, nullptr, 21},
    {14, 0, DecodeTransducerInfo, nullptr, 16},
    {15, 0, DecodeOutputInfo, nullptr, 15},
    {16, 0, DecodeFinalAssembly, nullptr, 3},
    {17, 24, DecodeMessage, BuildMessage, 24},
    {18, 21, DecodeTagDescriptorDate, BuildTagDescriptorDate, 21},
    {19, 3, DecodeFinalAssembly, BuildFinalAssembly, 3},
    {34, 4, DecodeDamping, BuildDamping, 4},
    {35, 9, DecodeRangeValues, BuildRangeValues, 9},
    {38, 0, nullptr, nullptr, 0},
    {40, 4, DecodeLoopCurrent, BuildFixedCurrent, 4},
    {41, 0, nullptr, nullptr, 0},
    {42, 0, nullptr, nullptr, 0},
    {44, 1, DecodePvUnit, BuildPvUnit, 1},
    {45, 4, DecodeLoopCurrent, BuildTrimCurrent, 4},
    {46, 4, DecodeLoopCurrent, BuildTrimCurrent, 4},
    {47, 1, DecodeTransferFunction, BuildTransferFunction, 1},
    {48, 0, DecodeAdditionalStatus, nullptr, 6},
    {49, 3, DecodeSensorSerial, BuildSensorSerial, 3},
    {59, 1, DecodePreambles, BuildPreambles, 1},
    {130, 0, DecodeSensorConfig, nullptr, 2},
    {131, 2, DecodeSensorConfig, BuildSensorConfig, 2},
    {132, 0, DecodeCjc, nullptr, 1},
    {133, 1, DecodeCjc, BuildCjc, 1},
    {134, 0, DecodeBurnout, nullptr, 1},
    {135, 1, DecodeBurnout, BuildBurnout, 1},
    {138, 8, DecodePair, BuildPair, 8},
    {140, 0, DecodeSensorTrim, nullptr, 12},
    {141, 14, DecodeSensorTrimPoint, BuildSensorTrimPoint, 14, 1},
    {142, 1, DecodeTerminalUnit, BuildTerminalUnit, 1},
    {144, 22, DecodeBlock, BuildBlock, 20},
    {145, 0, DecodeTerminalSetting, nullptr, 5},
    {154, 0, DecodeFloatSetting, nullptr, 4},
    {155, 4, DecodeFloatSetting, BuildFloatSetting, 4},
    {158, 10, DecodeDacTrimClear, BuildClearDacTrim, 8},
    {162, 0, DecodeTriple, nullptr, 12},
    {163, 5, DecodeTriple, BuildTriple, 12},
    {180, 0, DecodeTableHeader, nullptr, 8},
    {181, 5, DecodeTableHeaderWrite, BuildTableHeader, 5},
    {182, 6, DecodeTablePoint, BuildPointIndex, 6, 2},
    {183, 6, DecodeTablePoint, BuildTablePoint, 6, 2},
    {184, 0, DecodeTableHeader, nullptr, 8},
    {185, 5, DecodeTableHeaderWrite, BuildTableHeader, 5},
    {186, 6, DecodeTablePoint, BuildPointIndex, 6, 2},
    {187, 6, DecodeTablePoint, BuildTablePoint, 6, 2},
    {188, 0, DecodeCurveHeader, nullptr, 5},
    {189, 2, DecodeCurveSize, BuildCurveSize, 2},
    {190, 10, DecodeCurvePoint, BuildPointIndex, 10, 2},
    {191, 10, DecodeCurvePoint, BuildCurvePoint, 10, 2},
};

// The table is sorted and unique, requests fit the request frame, and an entry reads reply
// bytes exactly when it has a decoder (the short-reply check relies on that), and a reply
// repeats no more than was asked and than the decoder reads.
constexpr bool CommandTableIsSound() {
  int previous = -1;
  for (const CommandDescriptor& d : kCommands) {
    if (d.command <= previous || d.command == CommandListEnd) return false;
    if (d.requestBytes > MaxRequestData) return false;
    if ((d.decoder != nullptr) != (d.replyBytes > 0)) return false;
    if (d.replyBytes + 2u > LinkDataSize) return false;
    if (d.echoBytes > d.requestBytes || d.echoBytes > d.replyBytes) return false;
    previous = d.command;
  }
  return true;
}
static_assert(CommandTableIsSound());

// The descriptor of a command, at compile time; a number missing from the table does not
// compile.
constexpr CommandDescriptor Cmd(std::uint8_t command) {
  for (const CommandDescriptor& d : kCommands) {
    if (d.command == command) return d;
  }
  throw "command missing from the command table";
}

// A one-command list.
template <std::uint8_t N>
constexpr CommandDescriptor kSingle[] = {Cmd(N), kEnd};

constexpr CommandDescriptor kPoll[] = {Cmd(3), Cmd(2), kEnd};
constexpr CommandDescriptor kUpload[] = {Cmd(0),  Cmd(130), Cmd(14),  Cmd(15), Cmd(13), Cmd(132),
                                         Cmd(12), Cmd(16),  Cmd(134), Cmd(3),  kEnd};
constexpr CommandDescriptor kSensorInfo[] = {Cmd(14), Cmd(15), Cmd(3), Cmd(132), kEnd};
constexpr CommandDescriptor kAfterUnit[] = {Cmd(3), Cmd(14), Cmd(15), kEnd};

// The DAC trim trims the zero (45) or, at the upper trim point, the gain (46).
const CommandDescriptor* TrimDacList(const DeviceRecord& record) {
  return record.requestedTrimMode == 1 ? kSingle<46> : kSingle<45>;
}

constexpr bool kAsk = false;    // a failure is put to the user at once
constexpr bool kSilent = true;  // the first failure is retried without asking
constexpr Millis Timing::*kNoWait = nullptr;
using P = ListProgress;

// The request table: every request type, its command list, retry class, the wait after the
// list and how the list reports progress.
constexpr RequestDescriptor kRequests[] = {
    {RequestPoll, kPoll, nullptr, kAsk, kNoWait, P::None},
    {RequestIdentify, kSingle<0>, nullptr, kAsk, kNoWait, P::None},
    {RequestUpload, kUpload, nullptr, kAsk, kNoWait, P::PerCommand},
    {RequestMonitorOn, nullptr, nullptr, kAsk, kNoWait, P::None},
    {RequestWriteSensor, kSingle<131>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadSensorInfo, kSensorInfo, nullptr, kAsk, kNoWait, P::None},
    {RequestWritePvUnit, kSingle<44>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadAfterUnit, kAfterUnit, nullptr, kAsk, kNoWait, P::None},
    {RequestWriteRange, kSingle<35>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteDamping, kSingle<34>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteBurnout, kSingle<135>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteCjc, kSingle<133>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteTransfer, kSingle<47>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteTermUnit, kSingle<142>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadTermSetting, kSingle<145>, nullptr, kAsk, kNoWait, P::None},
    {RequestWriteTag, kSingle<18>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteMessage, kSingle<17>, nullptr, kSilent, kNoWait, P::None},
    {RequestFixedCurrent, kSingle<40>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteSerial, kSingle<49>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteFinalAssembly, kSingle<19>, nullptr, kSilent, kNoWait, P::None},
    {RequestDeviceReset, kSingle<42>, nullptr, kAsk, &Timing::resetWait, P::None},
    {RequestWriteTermUnit2, kSingle<142>, nullptr, kSilent, kNoWait, P::None},
    {RequestWritePair, kSingle<138>, nullptr, kSilent, kNoWait, P::None},
    {RequestTrimModeCurrent, kSingle<40>, nullptr, kSilent, kNoWait, P::None},
    {RequestTrimDac, kSingle<45>, TrimDacList, kSilent, kNoWait, P::None},
    {RequestClearDacTrim, kSingle<158>, nullptr, kSilent, kNoWait, P::None},
    {RequestLeaveTrimFixed, kSingle<40>, nullptr, kSilent, kNoWait, P::None},
    {RequestCloseTrimFixed, kSingle<40>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadSensorTrim, kSingle<140>, nullptr, kAsk, kNoWait, P::None},
    {RequestWriteSensorTrim, kSingle<141>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadFloatSetting, kSingle<154>, nullptr, kAsk, kNoWait, P::None},
    {RequestWriteFloatSetting, kSingle<155>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadTriple, kSingle<162>, nullptr, kAsk, kNoWait, P::None},
    {RequestWriteTriple, kSingle<163>, nullptr, kSilent, kNoWait, P::None},
    {RequestSelfTest, kSingle<41>, nullptr, kAsk, &Timing::selfTestWait, P::None},
    {RequestResetConfigChanged, kSingle<38>, nullptr, kAsk, kNoWait, P::None},
    {RequestAdditionalStatus, kSingle<48>, nullptr, kAsk, kNoWait, P::None},
    {RequestReadTcHeader, kSingle<180>, nullptr, kAsk, kNoWait, P::None},
    {RequestReadTcPoint, kSingle<182>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteTcHeader, kSingle<181>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteTcPoint, kSingle<183>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadRtdHeader, kSingle<184>, nullptr, kAsk, kNoWait, P::None},
    {RequestReadRtdPoint, kSingle<186>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteRtdHeader, kSingle<185>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteRtdPoint, kSingle<187>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteBlock, kSingle<144>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadCurveHeader, kSingle<188>, nullptr, kAsk, kNoWait, P::None},
    {RequestWriteCurveSize, kSingle<189>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadCurvePoint, kSingle<190>, nullptr, kSilent, kNoWait, P::None},
    {RequestWriteCurvePoint, kSingle<191>, nullptr, kSilent, kNoWait, P::None},
    {RequestWritePollingAddress, kSingle<6>, nullptr, kSilent, kNoWait, P::None},
    {RequestWritePreambles, kSingle<59>, nullptr, kSilent, kNoWait, P::None},
    {RequestReadIdentity, kSingle<0>, nullptr, kAsk, kNoWait, P::None},
};

constexpr bool RequestTableIsSound() {
  for (std::size_t i = 0; i < std::size(kRequests); ++i) {
    for (std::size_t j = i + 1; j < std::size(kRequests); ++j) {
      if (kRequests[i].type == kRequests[j].type) return false;
    }
  }
  return true;
}
static_assert(RequestTableIsSound());

}  // namespace

const CommandDescriptor* FindCommand(std::uint8_t command) {
  for (const CommandDescriptor& d : kCommands) {
    if (d.command == command) return &d;
  }
  return nullptr;
}

const RequestDescriptor* FindRequest(int requestType) {
  for (const RequestDescriptor& r : kRequests) {
    if (r.type == requestType) return &r;
  }
  return nullptr;
}

const CommandDescriptor* CommandListFor(int requestType, const DeviceRecord& record) {
  const RequestDescriptor* request = FindRequest(requestType);
  if (request == nullptr) return nullptr;
  return request->choose != nullptr ? request->choose(record) : request->list;
}

std::size_t ReplyDataBytes(std::uint8_t command) {
  const CommandDescriptor* d = FindCommand(command);
  return d != nullptr ? d->replyBytes : 0;
}

std::size_t ReplyEchoBytes(std::uint8_t command) {
  const CommandDescriptor* d = FindCommand(command);
  return d != nullptr ? d->echoBytes : 0;
}

bool IsSilentRetryRequest(int requestType) {
  const RequestDescriptor* request = FindRequest(requestType);
  return request != nullptr && request->silentRetry;
}

std::span<const CommandDescriptor> PollList() { return {kPoll, std::size(kPoll) - 1}; }

std::span<const CommandDescriptor> UploadList() { return {kUpload, std::size(kUpload) - 1}; }

const char* ManufacturerName(std::uint8_t manufacturer) {
  switch (manufacturer) {
    case 21:
      return "Fuji Electric";
    case 29:
      return "Kerrin CO";
    default:
      return "";
  }
}

const char* ModelName(std::uint8_t manufacturer, std::uint8_t deviceType) {
  if (manufacturer == 21) return deviceType == 129 ? "FRC" : "";
  if (manufacturer != 29) return "";
  switch (deviceType) {
    case 1:
      return "LV4";
    case 2:
      return "TQ5R";
    case 3:
      return "PX9M";
    case 4:
      return "TQ5R2";
    default:
      return "";
  }
}

RangePair AdjustRangeValues(double upper, double lower, double upperSensorLimit,
                            double lowerSensorLimit, double minimumSpan) {
  constexpr double kNudge = 0.0001;
  // The limits as shown, with three decimals.
  const double usl = RoundToDecimals(upperSensorLimit, 3);
  const double lsl = RoundToDecimals(lowerSensorLimit, 3);
  const double ms = RoundToDecimals(minimumSpan, 3);
  // The span is that of the entered values; the checks below keep it where it is the minimum.
  const bool atMinimumSpan = std::fabs(upper - lower) == ms;
  double u = upper;
  double l = lower;
  if (u == usl) {
    u -= kNudge;
    if (atMinimumSpan) l -= kNudge;
  }
  if (l == lsl) {
    l += kNudge;
    if (atMinimumSpan) u += kNudge;
  }
  if (u == lsl) {
    u += kNudge;
    if (atMinimumSpan) l += kNudge;
  }
  if (l == usl) {
    l -= kNudge;
    if (atMinimumSpan) u -= kNudge;
  }
  return {u, l};
}

}  // namespace va5
