// The common part of the three table editors (custom RTD, custom TC, special curve): one
// table moved between the device, the technician's text files and a graph.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "session/TableOperations.h"
#include "tables/FileOperations.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace va5 {

class CCustomGraph;
class CLblColor;

// What tells the editors apart besides their table kind: built-in captions (the language
// file replaces them when the panel is shown) and the keys of their messages.
struct TableEditorTexts {
  const char* title;
  const char* heading;
  const char* minimumCaption;
  const char* maximumCaption;
  const char* unit;       // of the minimum, maximum (and step) rows
  const char* sizeNote;   // "Max Size" and the maximum on two lines
  const char* graphCaption;
  const char* closeCaption;
  const char* readProgress;   // progress messages of a read and a write
  const char* writeProgress;
  const char* confirmWrite;   // the Yes/No question before a write
  const char* graphPrefix;    // "RTD", "TC", "SC": the graph's <prefix>_Table_... messages
};

class CTableEditor : public COperationPanel, public CFontManager {
  Q_OBJECT

 public:
  // The file dialogs: (parent, save, caption, filter) -> the chosen path, empty when
  // cancelled. Tests replace it.
  using FileDialog =
      std::function<QString(QWidget*, bool save, const QString& caption, const QString& filter)>;

  // Where the table on screen came from.
  enum class Source { None, Device, File };

  CTableEditor(TableKind kind, int layout, int replyMessage, const TableEditorTexts& texts,
               QWidget* parent = nullptr);
  ~CTableEditor() override;

  void Show(bool visible) override;
  bool OnWorkerMessage(const WorkerMessage& message) override;

  TableKind Kind() const { return kind_; }
  void SetFileDialog(FileDialog dialog) { fileDialog_ = std::move(dialog); }
  CCustomGraph* Graph() const { return graph_; }
  // A usable table is held (read from the device or loaded from a file).
  bool TablePresent() const { return tablePresent_; }
  Source TableSource() const { return source_; }
  QLabel* SourceLabel() const { return sourceValue_; }
  QProgressBar* Progress() const { return progress_; }

 private:
  enum class Transfer { None, Read, Write };

  // The table on screen as numbers, whichever source it came from: what "Write table to
  // File" writes. A custom table's x are its values (the
  // temperatures follow from minimum and step); the special curve's are its inputs.
  struct ShownTable {
    double minimum = 0;
    double step = 0;
    std::vector<double> x;
    std::vector<double> y;
  };

  void Build();
  QLabel* AddValueRow(int row, int captionId, const char* caption, int valueId, int unitId,
                      const char* unit);
  void UpdateAccessibleNames();
  void EnableButtons();
  void ClearValues();
  static QString StateText(int state);
  void ShowDeviceTable(const DeviceRecord& record, bool complete);
  void ShowFileTable();
  // Makes `table` the table on screen, from `source` described by `origin`.
  void TakeTable(ShownTable table, Source source, const QString& origin);
  // No table on screen: the point list and the source are emptied.
  void ForgetTable();
  void ShowSourceTexts();
  static ShownTable TableOfDevice(const DeviceRecord& record, TableKind kind);
  ShownTable TableOfFile() const;
  static QString DeviceName(const DeviceRecord& record);
  void SetProgress(const char* key);
  void UpdateProgress();
  void HideGraph();

  void OnConnectionChanged() override;
  void OnDone(const session::Operation& operation) override;
  void OnLinkLost(const session::Operation& operation) override;
  // After a write that ended part-way: what the device now holds.
  void TellWhatTheDeviceHolds(const session::Operation& operation);

  // Shows a table message; a question answers true for OK.
  bool Tell(const TableMessage& message);

  // Click handlers.
  void OnReadDevice();
  void OnWriteDevice();
  void OnWriteFile();
  void OnReadFile();
  void OnGraph();

  const TableKind kind_;
  const TableEditorTexts texts_;
  FileDialog fileDialog_;
  CFileOperations file_;
  session::TableUpload upload_;  // the upload buffers: what a write sends
  bool tablePresent_ = false;
  Source source_ = Source::None;
  QString origin_;  // the file's name or the device's description
  ShownTable shown_;
  Transfer transfer_ = Transfer::None;

  CLblColor* title_ = nullptr;
  CLblColor* heading_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* minimum_ = nullptr;
  QLabel* maximum_ = nullptr;
  QLabel* step_ = nullptr;  // none for the special curve
  QLabel* size_ = nullptr;
  QLabel* sourceCaption_ = nullptr;
  QLabel* sourceValue_ = nullptr;
  std::vector<std::pair<QLabel*, QLabel*>> rows_;  // (caption, value)
  QLabel* progressText_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* readDevice_ = nullptr;
  QPushButton* writeDevice_ = nullptr;
  QPushButton* writeFile_ = nullptr;
  QPushButton* readFile_ = nullptr;
  QPushButton* graphButton_ = nullptr;
  QPushButton* close_ = nullptr;
  CCustomGraph* graph_ = nullptr;
};

}  // namespace va5
