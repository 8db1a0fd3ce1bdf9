// The job record dialog: the running job (the device, then every write, trim, fixed current,
// self test and table write with its result) and what the technician adds to it (name,
// reference instrument, trim tolerance, notes). "Save..." closes the job when its device is
// connected (the configuration as left read again), then writes the record (JSON) and its
// report (PDF) where the technician chooses.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace va5 {

class CJobKeeper;

class CJobRecordDialog : public QDialog {
  Q_OBJECT

 public:
  enum Column {
    kTimeColumn,
    kWhatColumn,
    kBeforeColumn,
    kRequestedColumn,
    kAnsweredColumn,
    kResultColumn,
    kColumnCount
  };

  explicit CJobRecordDialog(CJobKeeper& keeper, QWidget* parent = nullptr);

  // Shows the job as it is now.
  void Refresh();
  // Closes the job when its device is connected, asks for both paths and writes the record
  // and its PDF; true when the record was written (the PDF may have been declined or have
  // failed, which is reported). The dialog closes (accepted) when the record was written.
  bool Save();

  QLabel* Identity() const { return identity_; }
  QTableWidget* Table() const { return table_; }
  QLineEdit* TechnicianEdit() const { return technician_; }
  QLineEdit* InstrumentEdit() const { return instrument_; }
  QLineEdit* ToleranceEdit() const { return tolerance_; }
  QPlainTextEdit* NotesEdit() const { return notes_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  // The footer's fields into the keeper; false (and the technician told) when the tolerance
  // is no number above zero.
  bool TakeFooter();
  void AddRow(const QStringList& cells);
  // Asks for a path with `suffix` ("json", "pdf"), adding it when the name has none.
  QString AskPath(const QString& caption, const QString& suggested, const QString& filter,
                  const QString& suffix);

  CJobKeeper& keeper_;
  QLabel* identity_;
  QTableWidget* table_;
  QLineEdit* technician_;
  QLineEdit* instrument_;
  QLineEdit* tolerance_;
  QPlainTextEdit* notes_;
  QPushButton* save_;
  QPushButton* close_;
};

}  // namespace va5
