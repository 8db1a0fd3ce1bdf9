#include "session/TableOperations.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "base/NumberText.h"
#include "comm/CommandSet.h"
#include "comm/RequestTypes.h"
#include "device/GlobalFile.h"
#include "session/JobRecord.h"
#include "session/Session.h"

namespace va5::session {

namespace {

std::string Whole(long long v) { return std::to_string(v); }

bool IsCurve(TableKind kind) { return kind == TableKind::Curve; }

std::string NameOf(TableKind kind) {
  switch (kind) {
    case TableKind::Rtd:
      return "custom RTD table";
    case TableKind::Tc:
      return "custom TC table";
    case TableKind::Curve:
      break;
  }
  return "special curve";
}

// The job record's checksum of a table as sent: CRC-32 of its texts, one a line (the custom
// tables' minimum, step, then each value; the curve's points as "x<TAB>y").
std::string TablePointsChecksum(TableKind kind, const TableUpload& upload) {
  std::string text;
  if (IsCurve(kind)) {
    for (std::size_t i = 0; i < upload.x.size(); ++i) {
      text += upload.x[i] + "\t" + (i < upload.y.size() ? upload.y[i] : std::string()) + "\n";
    }
  } else {
    text = upload.minimumText + "\n" + upload.stepText + "\n";
    for (const std::string& value : upload.x) text += value + "\n";
  }
  return Crc32Text(text);
}

// A value text as a number; not a number at all reads as NaN, which no bound admits.
double ValueOf(const std::string& text) {
  const ParsedNumber n = ReadCDouble(text);
  return n.used == 0 ? std::numeric_limits<double>::quiet_NaN() : n.value;
}

TableMessage Message(std::string key, std::vector<std::string> args, std::string text,
                     bool okCancel = false) {
  return {std::move(key), std::move(args), std::move(text), okCancel, false};
}

int DeviceSize(const DeviceRecord& r, TableKind kind) {
  return IsCurve(kind) ? r.specialCurveSize : r.customTableSize;
}

double& DevicePoint(DeviceRecord& r, TableKind kind, int i) {
  const auto at = static_cast<std::size_t>(i);
  return IsCurve(kind) ? r.specialCurveX[at] : r.customTableValues[at];
}

std::string DescribeHeader(const DeviceRecord& r, TableKind kind) {
  if (IsCurve(kind)) {
    return std::string(r.specialCurveState == 0 ? "Configured" : "Non configured") + ", " +
           Whole(r.specialCurveSize) + " points";
  }
  return std::string(r.customTableState == 0 ? "Configured" : "Non configured") + ", " +
         Whole(r.customTableSize) + " points from " +
         Whole(static_cast<long long>(r.customTableMinimum)) + " degC in steps of " +
         Whole(static_cast<long long>(r.customTableStep)) + " degC";
}

}  // namespace

TableRequests RequestsOf(TableKind kind) {
  switch (kind) {
    case TableKind::Rtd:
      return {RequestReadRtdHeader, RequestReadRtdPoint, RequestWriteRtdHeader,
              RequestWriteRtdPoint};
    case TableKind::Tc:
      return {RequestReadTcHeader, RequestReadTcPoint, RequestWriteTcHeader, RequestWriteTcPoint};
    case TableKind::Curve:
      break;
  }
  return {RequestReadCurveHeader, RequestReadCurvePoint, RequestWriteCurveSize,
          RequestWriteCurvePoint};
}

TableUpload UploadFromFile(const CFileOperations& file) {
  TableUpload upload;
  upload.minimumText = file.MinimumText();
  upload.stepText = file.StepText();
  upload.x = file.XTexts();
  upload.y = file.YTexts();
  return upload;
}

TableUpload UploadFromDevice(const DeviceRecord& device, TableKind kind) {
  TableUpload upload;
  const int size = std::clamp(DeviceSize(device, kind), 0, LimitsOf(kind).maximumPoints);
  for (int i = 0; i < size; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (IsCurve(kind)) {
      upload.x.push_back(FormatFixed(device.specialCurveX[at], 7, 4));
      upload.y.push_back(FormatFixed(device.specialCurveY[at], 7, 4));
    } else {
      upload.x.push_back(FormatCNumber("%lf", device.customTableValues[at]));
    }
  }
  if (!IsCurve(kind)) {
    upload.minimumText = std::to_string(static_cast<int>(device.customTableMinimum));
    upload.stepText = std::to_string(static_cast<int>(device.customTableStep));
  }
  return upload;
}

void StoreUpload(DeviceRecord& device, TableKind kind, const TableUpload& upload) {
  if (IsCurve(kind)) {
    const int size = std::min(upload.Size(), SpecialCurveMaxPoints);
    device.uploadCurveSize = upload.Size();
    for (int i = 0; i < size; ++i) {
      const auto at = static_cast<std::size_t>(i);
      device.uploadCurveXTexts[at] = upload.x[at];
      device.uploadCurveYTexts[at] = at < upload.y.size() ? upload.y[at] : std::string();
    }
    return;
  }
  const int size = std::min(upload.Size(), CustomTableMaxPoints);
  device.uploadTableSize = upload.Size();
  device.uploadStepText = upload.stepText;
  device.uploadMinimumText = upload.minimumText;
  for (int i = 0; i < size; ++i) {
    device.uploadValueTexts[static_cast<std::size_t>(i)] = upload.x[static_cast<std::size_t>(i)];
  }
}

std::optional<TableMessage> CheckUpload(TableKind kind, const TableUpload& upload,
                                        const TableQuestion& ask) {
  const TableLimits& limits = LimitsOf(kind);
  const int size = upload.Size();
  if (size < TableMinimumPoints) {
    return Message("Err_TableSize_Min", {Whole(size)},
                   "The table holds only " + Whole(size) + " point(s); a table needs at least 2.");
  }
  if (size > limits.maximumPoints || (IsCurve(kind) && upload.y.size() != upload.x.size())) {
    const std::string m = Whole(limits.maximumPoints);
    return Message("Err_TableSize", {Whole(limits.maximumPoints + 1), limits.typeName, m, m},
                   "The table holds " + Whole(size) + " points; a " + limits.typeName +
                       " table holds at most " + m + ".");
  }
  const auto& x = upload.x;
  if (IsCurve(kind)) {
    for (int i = 0; i < size; ++i) {
      const auto at = static_cast<std::size_t>(i);
      for (const bool isX : {true, false}) {
        const std::string& text = isX ? x[at] : upload.y[at];
        const double v = ValueOf(text);
        if (v >= limits.lowerBound && v <= limits.upperBound) continue;
        const std::string name = isX ? "X" : "Y";
        return Message(isX ? "Err_Special_Table_Data_Bound_X" : "Err_Special_Table_Data_Bound_Y",
                       {Whole(i + 1), text, "-15", "115"},
                       "Point " + Whole(i + 1) + ": " + name + " = " + text + " is out of range; " +
                           name + " must lie from -15 to 115 percent.");
      }
    }
    for (int i = 1; i < size; ++i) {
      const auto at = static_cast<std::size_t>(i);
      if (ValueOf(x[at]) >= ValueOf(x[at - 1])) continue;
      const TableMessage order =
          Message("Err_Special_Table_Data", {Whole(i + 1), x[at], Whole(i), x[at - 1]},
                  "Point " + Whole(i + 1) + ": X = " + x[at] + " is smaller than X = " + x[at - 1] +
                      " of point " + Whole(i) + ".",
                  true);
      if (!ask(order)) return order;
    }
    return std::nullopt;
  }

  const long long minimum = ReadCInteger(upload.minimumText);
  if (minimum < -273 || minimum > 10000) {
    return Message("Err_Temp_Min", {upload.minimumText},
                   "The minimum temperature " + upload.minimumText +
                       " is out of range: it must lie from -273 to 10000 degC.");
  }
  const long long step = ReadCInteger(upload.stepText);
  if (step < 1 || step > 50) {
    return Message("Err_Temp_Step", {upload.stepText},
                   "The temperature step " + upload.stepText +
                       " is not valid: it must be a whole number from 1 to 50 degC.");
  }
  const bool rtd = kind == TableKind::Rtd;
  const std::string boundUnit = rtd ? "Ohms" : "mV";
  for (int i = 0; i < size; ++i) {
    const double v = ValueOf(x[static_cast<std::size_t>(i)]);
    const bool inside = rtd ? (v > 0 && v <= limits.upperBound)
                            : (v >= limits.lowerBound && v <= limits.upperBound);
    if (inside) continue;
    const std::string& text = x[static_cast<std::size_t>(i)];
    const TableMessage bound =
        Message(rtd ? "Err_CustomRTD_Data_Bound" : "Err_CustomTable_Data_Bound",
                {Whole(i + 1), text, Whole(i), Whole(limits.lowerBound), Whole(limits.upperBound),
                 boundUnit},
                "Point " + Whole(i + 1) + ": the value " + text + " is out of range; X(" +
                    Whole(i) + ") must lie " + (rtd ? "above 0 and up to " : "from -100 to ") +
                    Whole(limits.upperBound) + " " + boundUnit + ".",
                true);
    if (!ask(bound)) return bound;
  }
  for (int i = 0; i + 1 < size; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (ValueOf(x[at + 1]) >= ValueOf(x[at])) continue;
    const TableMessage order = Message(
        "Err_Custom_Table_Data",
        {Whole(i + 2), x[at + 1], limits.unit, Whole(i + 1), x[at], limits.unit},
        "Point " + Whole(i + 2) + " (" + x[at + 1] + " " + limits.unit +
            ") is smaller than point " + Whole(i + 1) + " (" + x[at] + " " + limits.unit + ").",
        true);
    if (!ask(order)) return order;
  }
  return std::nullopt;
}

std::optional<TableMessage> CheckDeviceTakesTable(TableKind kind, const DeviceRecord& device) {
  switch (kind) {
    case TableKind::Rtd:
      if (device.sensorType != CustomRtdSensorCode) return std::nullopt;
      return Message("Sensor_Type_Error_RTD", {},
                     "The sensor type is Custom RTD: the device uses the custom RTD table, which "
                     "cannot be written now.");
    case TableKind::Tc:
      if (device.sensorType != CustomTcSensorCode) return std::nullopt;
      return Message("Sensor_Type_Error_TC", {},
                     "The sensor type is Custom TC: the device uses the custom TC table, which "
                     "cannot be written now.");
    case TableKind::Curve:
      break;
  }
  if (device.transferFunction != SpecialCurveTransferCode) return std::nullopt;
  return Message("XFER_Error_SC", {},
                 "The transfer function is the special curve: the device uses it, so it cannot "
                 "be written now.");
}

RequestChain ReadTableChain(TableKind kind, bool points) {
  const TableRequests requests = RequestsOf(kind);
  const int maximum = LimitsOf(kind).maximumPoints;
  RequestChain chain;
  chain.what = "read the " + NameOf(kind);
  chain.store = [](DeviceRecord& r) { r.tablePointIndex = 0; };
  chain.steps.emplace_back(requests.readHeader);
  if (points) {
    for (int i = 0; i < maximum; ++i) {
      // The poll never writes the point index or the points; a reply that names another point
      // leaves the marked one as it was.
      ChainStep step(requests.readPoint, [kind, i, what = chain.what](const DeviceRecord& r) {
        const double value = kind == TableKind::Curve
                                 ? r.specialCurveX[static_cast<std::size_t>(i)]
                                 : r.customTableValues[static_cast<std::size_t>(i)];
        if (!std::isnan(value)) return std::optional<Reason>{};
        const std::string why = "the device answered for another point than " + Whole(i);
        return std::optional<Reason>{
            Reason{ReasonKind::DeviceRefused, what + ": " + why, {what, "", why}}};
      });
      step.skipIf = [kind, i, maximum](const DeviceRecord& r) {
        const int size = DeviceSize(r, kind);
        return size < TableMinimumPoints || size > maximum || i >= size;
      };
      step.store = [kind, i](DeviceRecord& r) {
        r.tablePointIndex = i;
        DevicePoint(r, kind, i) = std::numeric_limits<double>::quiet_NaN();
      };
      chain.steps.push_back(std::move(step));
    }
  }
  chain.describe = [kind](const DeviceRecord& r) { return DescribeHeader(r, kind); };
  return chain;
}

RequestChain WriteTableChain(TableKind kind, TableUpload upload) {
  const TableRequests requests = RequestsOf(kind);
  const TableLimits& limits = LimitsOf(kind);
  RequestChain chain;
  chain.what = "write the " + NameOf(kind);
  const int size = upload.Size();
  if (size < TableMinimumPoints || size > limits.maximumPoints) {
    const std::string why = Whole(size) + " points; a " + limits.typeName +
                            " table holds from 2 to " + Whole(limits.maximumPoints);
    const Reason reason{ReasonKind::OutOfLimits,
                        chain.what + ": " + why,
                        {"table size", Whole(size), "2", Whole(limits.maximumPoints)}};
    ChainStep refuse(requests.writeHeader);
    refuse.refuseIf = [reason](const DeviceRecord&) { return std::optional<Reason>(reason); };
    chain.steps.push_back(std::move(refuse));
    return chain;
  }
  chain.journal.kind = JournalKind::TableWrite;
  chain.journal.setting = NameOf(kind);
  chain.journal.points = size;
  chain.journal.checksum = TablePointsChecksum(kind, upload);
  chain.journal.lastWrite = static_cast<std::size_t>(size) + 1;  // the end marker
  chain.store = [kind, upload = std::move(upload)](DeviceRecord& r) {
    StoreUpload(r, kind, upload);
    r.tablePointIndex = 0;
  };
  // A refused header leaves the device's table as it was: read its header again, so that the
  // record shows what the device holds.
  ChainStep header(requests.writeHeader);
  header.afterRefusal = requests.readHeader;
  chain.steps.push_back(std::move(header));
  for (int i = 0; i < size; ++i) {
    ChainStep step(requests.writePoint);
    step.store = [i](DeviceRecord& r) { r.tablePointIndex = i; };
    chain.steps.push_back(std::move(step));
  }
  // The end marker last; the device then stores the table before it answers again.
  ChainStep end(requests.writePoint, {},
                IsCurve(kind) ? &Timing::curveWriteWait : &Timing::tableWriteWait);
  end.store = [](DeviceRecord& r) { r.tablePointIndex = TableEndIndex; };
  chain.steps.push_back(std::move(end));
  chain.steps.emplace_back(requests.readHeader);
  chain.describe = [kind](const DeviceRecord& r) { return DescribeHeader(r, kind); };
  return chain;
}

int TransferPercent(const DeviceRecord& device, TableKind kind, bool writing) {
  if (device.tablePointIndex == TableEndIndex) return 100;
  const int size = writing ? (IsCurve(kind) ? device.uploadCurveSize : device.uploadTableSize)
                           : DeviceSize(device, kind);
  if (size <= 0) return 0;
  return std::clamp(device.tablePointIndex * 100 / size, 0, 100);
}

const OperationOutcome& PerformTransfer(Session& session, Operation& operation, TableKind kind,
                                        bool writing, const std::function<void(int)>& progress,
                                        const std::atomic<bool>* stop) {
  int shown = -1;
  const auto step = [&] {
    if (!progress) return;
    const int percent =
        session.WithRecord([&](DeviceRecord& r) { return TransferPercent(r, kind, writing); });
    if (percent != shown) progress(shown = percent);
  };
  if (stop != nullptr) {
    session.Drive(
        operation, *stop, [&] { operation.RequestStop(); }, step);
  } else {
    session.Drive(operation, step);
  }
  if (progress && operation.Outcome().Succeeded() && shown != 100) progress(100);
  return operation.Outcome();
}

// ---- the device copy ------------------------------------------------------------------------

std::string TableCopyOrigin::DeviceKey(const DeviceRecord& device) {
  return device.manufacturerName + "\n" + device.modelName + "\n" + device.deviceIdText;
}

void TableCopyOrigin::Note(TableKind kind, const DeviceRecord& device) {
  (IsCurve(kind) ? curve_ : custom_) = Origin{kind, DeviceKey(device)};
}

void TableCopyOrigin::Forget(TableKind kind) { (IsCurve(kind) ? curve_ : custom_).reset(); }

bool TableCopyOrigin::Holds(TableKind kind, const DeviceRecord& connected) const {
  const std::optional<Origin>& origin = IsCurve(kind) ? curve_ : custom_;
  return origin && origin->kind == kind && !connected.deviceIdText.empty() &&
         origin->device == DeviceKey(connected);
}

std::optional<std::string> WriteDeviceCopy(const DeviceRecord& device, TableKind kind,
                                           const std::string& path) {
  const CFileOperations writer;
  const auto size = static_cast<std::size_t>(
      std::clamp(DeviceSize(device, kind), 0, LimitsOf(kind).maximumPoints));
  if (IsCurve(kind)) {
    return writer.WriteSpecialCurve(path, CommentHeader(kind),
                                    std::span(device.specialCurveX).first(size),
                                    std::span(device.specialCurveY).first(size));
  }
  return writer.WriteCustomTable(path, CommentHeader(kind), LimitsOf(kind).word,
                                 device.customTableMinimum, device.customTableStep,
                                 std::span(device.customTableValues).first(size));
}

}  // namespace va5::session
