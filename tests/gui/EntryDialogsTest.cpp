#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/gui/GuiTestSupport.h"
#include "lang/EntryRules.h"
#include "lang/ResourceDatabase.h"
#include "gui/SelectListBox.h"
#include "gui/ValidateNumber.h"
#include "gui/ValidateText.h"

namespace va5 {
namespace {

using test::RecordedMessages;

class EntryDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::LoadTestLanguage("TestEnglish.lng"); }
  void TearDown() override { TheResourceDatabase().InitEmpty(); }

  // Shows a dialog as the user sees it: active, with the focus where the dialog put it.
  static void Open(QDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  }

  // Types over the selected start text and presses Enter.
  static void TypeAndEnter(CEntryDialog& dialog, const QString& text) {
    QTest::keyClicks(dialog.Edit(), text);
    QTest::keyClick(dialog.Edit(), Qt::Key_Return);
  }

  static bool StaysOpenWithTextSelected(CEntryDialog& dialog) {
    return dialog.isVisible() && dialog.result() != QDialog::Accepted &&
           dialog.Edit()->selectedText() == dialog.Edit()->text() &&
           dialog.focusWidget() == dialog.Edit();
  }
};

// ---- numbers -------------------------------------------------------------------------------

TEST_F(EntryDialogsTest, NumberOpensWithTextsSelectionAndFont) {
  CValidateNumber dialog;
  dialog.Setup("PV Damping", "Enter the damping", 30.0, 0.5, " ", true, true);
  Open(dialog);
  EXPECT_EQ(dialog.windowTitle(), "PV Damping");
  EXPECT_EQ(dialog.PromptLabel()->text(), "Enter the damping");
  // A blank start value shows 0, selected and focused.
  EXPECT_EQ(dialog.Edit()->text(), "0");
  EXPECT_EQ(dialog.Edit()->selectedText(), "0");
  EXPECT_EQ(dialog.focusWidget(), dialog.Edit());
  EXPECT_EQ(dialog.Edit()->font().pointSizeF(), 13.0);
  EXPECT_EQ(dialog.Edit()->font().weight(), QFont::Bold);
  EXPECT_EQ(dialog.Edit()->accessibleName(), "Enter the damping");
  EXPECT_EQ(dialog.OkButton()->accessibleName(), "OK");
}

TEST_F(EntryDialogsTest, DampingAcceptsZeroAndLimitsButNotJustBelow) {
  RecordedMessages messages;
  {
    CValidateNumber dialog;
    dialog.Setup("PV Damping", "Damping", 30.0, 0.5, "2.0", true, true);
    Open(dialog);
    TypeAndEnter(dialog, "0");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ValueText(), "0.000");
  }
  {
    CValidateNumber dialog;
    dialog.Setup("PV Damping", "Damping", 30.0, 0.5, "2.0", true, true);
    Open(dialog);
    TypeAndEnter(dialog, "0.4");
    EXPECT_TRUE(StaysOpenWithTextSelected(dialog));
    ASSERT_EQ(messages.Seen().size(), 1u);
    // The box covers the prompt: it names the limits itself.
    EXPECT_EQ(messages.Seen()[0].text,
              "The value 0.4 is out of range or is not a number: enter 0.5 to 30.");
    EXPECT_EQ(messages.Seen()[0].caption, "VA5VIVI Message");
    EXPECT_EQ(messages.Seen()[0].style, kStyleOkExclamation);
    // The user corrects the entry and presses OK.
    QTest::keyClicks(dialog.Edit(), "30");
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ValueText(), "30.000");
    EXPECT_EQ(dialog.EnteredText(), "30");
  }
}

TEST_F(EntryDialogsTest, UnparsableNumbersAreRejectedWithTheChosenMessage) {
  RecordedMessages messages;
  for (const char* typed : {"12abc", "1e999", "5 "}) {
    CValidateNumber dialog;
    dialog.Setup("Range", "Range", 99999.0, -99999.0, "1", false, false);
    Open(dialog);
    TypeAndEnter(dialog, typed);
    EXPECT_TRUE(StaysOpenWithTextSelected(dialog)) << typed;
    EXPECT_EQ(dialog.Edit()->text(), typed);
  }
  ASSERT_EQ(messages.Seen().size(), 3u);
  EXPECT_EQ(messages.LastText(), "The calibration value is not valid.");
}

TEST_F(EntryDialogsTest, NumberEdgeTexts) {
  RecordedMessages messages;
  struct Case {
    const char* typed;
    double minimum;
    double maximum;
    bool allowZero;
    const char* valueText;  // nullptr: rejected
  };
  const Case cases[] = {
      {" 5", 0.0, 15.0, false, "5.000"},
      // Nothing typed is no number, even where 0 is allowed: it is never sent as 0.
      {"", 0.0, 15.0, false, nullptr},
      {"", 3.8, 21.6, false, nullptr},
      {"", 3.8, 21.6, true, nullptr},
      {"   ", 0.0, 15.0, true, nullptr},
      {"-0", -10.0, 10.0, false, "0.000"},
      {"16777215", 0.0, 16777215.0, true, "16777215.000"},
      {"16777216", 0.0, 16777215.0, true, nullptr},
  };
  for (const Case& c : cases) {
    CValidateNumber dialog;
    dialog.Setup("T", "P", c.maximum, c.minimum, "7", true, c.allowZero);
    Open(dialog);
    if (*c.typed == '\0') {
      QTest::keyClick(dialog.Edit(), Qt::Key_Delete);  // clears the selected start text
      QTest::keyClick(dialog.Edit(), Qt::Key_Return);
    } else {
      TypeAndEnter(dialog, c.typed);
    }
    if (c.valueText == nullptr) {
      EXPECT_TRUE(StaysOpenWithTextSelected(dialog)) << c.typed;
    } else {
      EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.typed;
      EXPECT_EQ(dialog.ValueText(), c.valueText) << c.typed;
    }
  }
}

TEST_F(EntryDialogsTest, LongRangeEntryKeepsSeventeenCharactersOfTheCheckedValue) {
  RecordedMessages messages;
  {
    CValidateNumber dialog;
    dialog.Setup("Upper", "Upper", 1100.0, -100.0, "1000", true, false);
    Open(dialog);
    TypeAndEnter(dialog, "123.4567890123456789");
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.EnteredText(), "123.4567890123456");
  }
  {
    // Its first 17 characters read 1 although 1000 was typed and checked: refused.
    CValidateNumber dialog;
    dialog.Setup("Upper", "Upper", 1100.0, -100.0, "1000", true, false);
    Open(dialog);
    TypeAndEnter(dialog, "1.0000000000000000e3");
    EXPECT_TRUE(StaysOpenWithTextSelected(dialog));
    EXPECT_EQ(messages.Seen().size(), 1u);
  }
}

TEST_F(EntryDialogsTest, EnterOnCancelCancelsAndCancelSendsNothing) {
  RecordedMessages messages;
  CValidateNumber dialog;
  dialog.Setup("T", "P", 10.0, 1.0, "5", true, false);
  Open(dialog);
  QTest::keyClicks(dialog.Edit(), "99");
  dialog.CancelButton()->setFocus();
  QTest::keyClick(dialog.CancelButton(), Qt::Key_Return);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(messages.Seen().empty());
  EXPECT_EQ(dialog.ValueText(), "");
}

TEST_F(EntryDialogsTest, ModalRunAnswersTheRealMessageBoxAndReturnsOne) {
  CValidateNumber dialog;
  dialog.Setup("T", "P", 10.0, 1.0, "5", true, false);
  // The user types an invalid value, dismisses the box, corrects it and confirms.
  bool corrected = false;
  QTimer::singleShot(0, &dialog, [&] {
    test::ClickOnNextBox("OK");
    QTest::keyClicks(dialog.Edit(), "11");
    QTest::keyClick(dialog.Edit(), Qt::Key_Return);  // returns once the box was answered
    EXPECT_EQ(test::VisibleBox(), nullptr);
    EXPECT_EQ(dialog.Edit()->selectedText(), "11");
    QTest::keyClicks(dialog.Edit(), "9.5");
    QTest::keyClick(dialog.Edit(), Qt::Key_Enter);
    corrected = true;
  });
  // Should anything go wrong, the run still ends instead of waiting for ever.
  QTimer::singleShot(10000, &dialog, &QDialog::reject);
  EXPECT_EQ(dialog.exec(), 1);
  EXPECT_TRUE(corrected);
  EXPECT_EQ(dialog.ValueText(), "9.500");
}

// ---- texts ---------------------------------------------------------------------------------

TEST_F(EntryDialogsTest, TagRules) {
  SetMaximumTextLength("8");
  RecordedMessages messages;
  struct Case {
    QString typed;
    const char* message;  // nullptr: accepted
    const char* text;
  };
  const Case cases[] = {
      {"ABCDEFGHI", "Enter at most 8 characters.", nullptr},
      {"A\\B", nullptr, "A\\B"},
      {QString::fromUtf8("CAF\xC3\x89"), "The text contains a character that cannot be sent.",
       nullptr},
      {"tt-101", nullptr, "tt-101"},
      {"", nullptr, " "},
  };
  for (const Case& c : cases) {
    CValidateText dialog;
    dialog.Setup("Tag", "Tag", "  OLD  ", true, false);
    Open(dialog);
    EXPECT_EQ(dialog.Edit()->text(), "OLD");
    if (c.typed.isEmpty()) {
      QTest::keyClick(dialog.Edit(), Qt::Key_Delete);
      QTest::keyClick(dialog.Edit(), Qt::Key_Return);
    } else {
      TypeAndEnter(dialog, c.typed);
    }
    if (c.message != nullptr) {
      EXPECT_TRUE(StaysOpenWithTextSelected(dialog)) << c.typed.toStdString();
      EXPECT_EQ(messages.LastText(), c.message);
    } else {
      EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.typed.toStdString();
      EXPECT_EQ(dialog.Text(), c.text);
    }
  }
  // Lower case passes the dialog but is no packed text.
  EXPECT_FALSE(IsPackedText("tt-101  "));
}

TEST_F(EntryDialogsTest, EnterMeasuresTheUntrimmedTextButOkTheTrimmedOne) {
  SetMaximumTextLength("8");
  RecordedMessages messages;
  {
    CValidateText dialog;
    dialog.Setup("Tag", "Tag", "", true, false);
    Open(dialog);
    TypeAndEnter(dialog, " ABCDEFGH ");
    EXPECT_TRUE(StaysOpenWithTextSelected(dialog));
    EXPECT_EQ(messages.LastText(), "Enter at most 8 characters.");
  }
  {
    CValidateText dialog;
    dialog.Setup("Tag", "Tag", "", true, false);
    Open(dialog);
    QTest::keyClicks(dialog.Edit(), " ABCDEFGH ");
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Text(), "ABCDEFGH");
  }
}

TEST_F(EntryDialogsTest, TextDialogHoldsTheWorkerAroundItsMessages) {
  SetMaximumTextLength("8");
  RecordedMessages messages;
  std::vector<bool> holds;
  CValidateText dialog;
  dialog.SetHoldCallback([&](bool hold) { holds.push_back(hold); });
  dialog.Setup("Tag", "Tag", "", true, false);
  Open(dialog);
  TypeAndEnter(dialog, "WAY-TOO-LONG");
  EXPECT_EQ(holds, (std::vector<bool>{true, false}));
}

TEST_F(EntryDialogsTest, Dates) {
  RecordedMessages messages;
  const std::pair<const char*, bool> cases[] = {
      {"2009/02/29", false}, {"2008/02/29", true}, {"1900/02/29", false}, {"2156/01/01", false},
      {"1899/12/31", false}, {"2009-03-07", true}, {"2009/3/7", false},
  };
  for (const auto& [typed, valid] : cases) {
    CValidateText dialog;
    dialog.Setup("Date", "Date", "2000/01/01", false, true);
    Open(dialog);
    TypeAndEnter(dialog, typed);
    if (valid) {
      EXPECT_EQ(dialog.result(), QDialog::Accepted) << typed;
      EXPECT_EQ(dialog.Text(), typed);
    } else {
      EXPECT_TRUE(StaysOpenWithTextSelected(dialog)) << typed;
      EXPECT_EQ(messages.LastText(), "Enter a valid date as YYYY/MM/DD.") << typed;
    }
  }
}

// ---- lists ---------------------------------------------------------------------------------

const std::vector<std::string> kNames = {"degC", "degF", "K", "degC"};
const std::vector<std::string> kCodes = {"32", "33", "35", "32"};

TEST_F(EntryDialogsTest, ListPreselectsTheLastMatch) {
  CSelectListBox byCode;
  byCode.SetupByCode("PV Unit", kNames, kCodes, 32);
  EXPECT_EQ(byCode.List()->currentRow(), 3);
  EXPECT_EQ(byCode.windowTitle(), "PV Unit");
  CSelectListBox byName;
  byName.SetupByName("PV Unit", kNames, kCodes, "degC");
  EXPECT_EQ(byName.List()->currentRow(), 3);
  CSelectListBox none;
  none.SetupByCode("PV Unit", kNames, kCodes, 99);
  EXPECT_EQ(none.List()->currentRow(), 0);
  CSelectListBox noCode;
  noCode.SetupByCode("PV Unit", kNames, kCodes, -1);
  EXPECT_EQ(noCode.List()->currentRow(), 0);
  // The list is read as what it chooses.
  EXPECT_EQ(noCode.List()->accessibleName(), "PV Unit");
}

TEST_F(EntryDialogsTest, ListTakesTheSelectionByKeysOkAndDoubleClick) {
  {
    CSelectListBox dialog;
    dialog.SetupByCode("PV Unit", kNames, kCodes, 33);
    Open(dialog);
    EXPECT_EQ(dialog.focusWidget(), dialog.List());
    QTest::keyClick(dialog.List(), Qt::Key_Down);
    QTest::keyClick(dialog.List(), Qt::Key_Space);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedIndex(), 2);
    EXPECT_EQ(dialog.SelectedCode(), 35);
  }
  {
    CSelectListBox dialog;
    dialog.SetupByCode("PV Unit", kNames, kCodes, 33);
    Open(dialog);
    QTest::keyClick(dialog.List(), Qt::Key_Return);
    EXPECT_EQ(dialog.SelectedCode(), 33);
  }
  {
    CSelectListBox dialog;
    dialog.SetupByCode("PV Unit", kNames, kCodes, 33);
    Open(dialog);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedIndex(), 1);
  }
  {
    CSelectListBox dialog;
    dialog.SetupByCode("PV Unit", kNames, kCodes, 33);
    Open(dialog);
    QListWidgetItem* kelvin = dialog.List()->item(2);
    const QPoint centre = dialog.List()->visualItemRect(kelvin).center();
    QTest::mouseClick(dialog.List()->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(dialog.List()->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedCode(), 35);
  }
}

TEST_F(EntryDialogsTest, EnterOrSpaceOnCancelCancelsTheList) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
    CSelectListBox dialog;
    dialog.SetupByCode("PV Unit", kNames, kCodes, 33);
    Open(dialog);
    dialog.CancelButton()->setFocus();
    QTest::keyClick(dialog.CancelButton(), key);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.SelectedIndex(), -1);
  }
}

TEST_F(EntryDialogsTest, EmptyListCannotBeConfirmed) {
  CSelectListBox dialog;
  dialog.SetupByCode("Empty", {}, {}, 1);
  Open(dialog);
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.SelectedIndex(), -1);
}

TEST_F(EntryDialogsTest, DialogsTakeTheirLayoutTexts) {
  test::LoadTestLanguage("TestJapanese.lng");
  CValidateNumber number;
  EXPECT_EQ(number.windowTitle(), QString::fromUtf8("数値入力"));
  EXPECT_EQ(number.CancelButton()->text(), QString::fromUtf8("キャンセル"));
  EXPECT_EQ(number.CancelButton()->accessibleName(), QString::fromUtf8("キャンセル"));
  CValidateText text;
  EXPECT_EQ(text.windowTitle(), QString::fromUtf8("文字入力"));
  CSelectListBox list;
  EXPECT_EQ(list.windowTitle(), QString::fromUtf8("選択"));
  // The caller's title replaces the layout's caption.
  number.Setup("Own title", "P", 1.0, 0.0, "0");
  EXPECT_EQ(number.windowTitle(), "Own title");
}

}  // namespace
}  // namespace va5
