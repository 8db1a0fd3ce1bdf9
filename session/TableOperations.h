// The custom RTD table, the custom TC table and the special curve between the device, the
// record and the table files: the point-by-point transfers as request chains, the checks
// before a table is written to the device, and which table the device copy holds.
//
// A window runs a transfer like any chain (Operation), from its event loop, with
// monitoringAfter set so that the poll stays on whatever way the transfer ends; it shows
// TransferPercent after each worker message and runs the pause after the end marker as a
// timer. The command-line tool runs it with PerformTransfer.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/DeviceRecord.h"
#include "session/Operation.h"
#include "session/Reason.h"
#include "session/RequestChain.h"
#include "tables/FileOperations.h"

namespace va5::session {

class Session;

// The request types of a kind's transfers.
struct TableRequests {
  int readHeader, readPoint, writeHeader, writePoint;
};
TableRequests RequestsOf(TableKind kind);

// A table as it is sent: the texts of the upload buffers. Minimum and step serve the custom
// tables, y the special curve.
struct TableUpload {
  std::string minimumText = "0";
  std::string stepText = "0";
  std::vector<std::string> x;
  std::vector<std::string> y;
  int Size() const { return static_cast<int>(x.size()); }
};

// What a file read left in the reader (Prepare and read first).
TableUpload UploadFromFile(const CFileOperations& file);
// The device copy of `kind` as upload texts: step and minimum "%d", custom values "%lf",
// special-curve values "%4.7f".
TableUpload UploadFromDevice(const DeviceRecord& device, TableKind kind);
// Puts the upload into the record's upload buffers (what the write requests send).
void StoreUpload(DeviceRecord& device, TableKind kind, const TableUpload& upload);

// The checks before a table goes to the device, in their order: the size (2 to the kind's
// maximum), then for the custom tables the minimum temperature (-273 to 10000), the step (1
// to 50), each value within the kind's bounds (RTD above 0) and no value below the one before;
// for the special curve each X and Y from -15 to 115, then no X below the one before. The
// bound and order messages of the custom tables and the order message of the curve are
// questions, asked through `ask` (true: go on). The message that refused the upload comes
// back, a Cancel answer included; nothing when the table may be sent.
std::optional<TableMessage> CheckUpload(TableKind kind, const TableUpload& upload,
                                        const TableQuestion& ask);

// A table the device is using cannot be written: the custom RTD table while the sensor type
// is Custom RTD, the custom TC table while it is Custom TC, the special curve while the
// transfer function is the special curve (the record after an upload).
std::optional<TableMessage> CheckDeviceTakesTable(TableKind kind, const DeviceRecord& device);

// Reads the table header of `kind`; with `points`, then every point when the header reports
// from 2 to the kind's maximum points (otherwise the header alone). A point reply that does
// not carry the point asked for ends the read.
RequestChain ReadTableChain(TableKind kind, bool points = true);

// Sends `upload` (checked first: CheckUpload) point by point: header, the points 0 to
// size - 1, the end marker, the device's pause to store the table (Timing::tableWriteWait,
// curveWriteWait for the special curve) and a header re-read. Refuses at once a table of
// fewer than 2 or more than the kind's maximum points. A failed request ends it there: no
// header is read again after a failed point; a refused header is read again (the record then
// shows the table the device kept), and the refusal is the outcome. PartialTableWrite
// (TransferReport.h) says what a write that ended part-way left in the device.
RequestChain WriteTableChain(TableKind kind, TableUpload upload);

// How far a transfer of `kind` has come, 0 to 100: the point being sent or read over the
// table's size. `writing` tells a write from a read.
int TransferPercent(const DeviceRecord& device, TableKind kind, bool writing);

// Runs a transfer to its end on the calling thread as Session::Perform does, calling
// `progress` with TransferPercent whenever it changes. Once `stop` is set (a signal), the
// transfer ends at the next request boundary (Operation::RequestStop).
const OperationOutcome& PerformTransfer(Session& session, Operation& operation, TableKind kind,
                                        bool writing, const std::function<void(int)>& progress,
                                        const std::atomic<bool>* stop = nullptr);

// The device copy of the custom tables is one for RTD and TC: which kind it holds, and from
// which device, decides whether it may be written to a file as a table of a kind. A window
// keeps one for the connection and both custom editors share it.
class TableCopyOrigin {
 public:
  // After a full read of `kind` succeeded from the device `device` describes.
  void Note(TableKind kind, const DeviceRecord& device);
  // Before any transfer that changes the copy.
  void Forget(TableKind kind);
  // The copy is a complete table of `kind` read from the device now connected.
  bool Holds(TableKind kind, const DeviceRecord& connected) const;

 private:
  struct Origin {
    TableKind kind;
    std::string device;
  };
  static std::string DeviceKey(const DeviceRecord& device);
  std::optional<Origin> custom_;
  std::optional<Origin> curve_;
};

// Writes the device copy of `kind` as a table file (safely: CFileOperations). The English
// reason when it was not written.
std::optional<std::string> WriteDeviceCopy(const DeviceRecord& device, TableKind kind,
                                           const std::string& path);

}  // namespace va5::session
