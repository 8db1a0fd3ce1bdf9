#include "gui/graph/CustomGraph.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <cmath>

#include "base/NumberText.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/Panel.h"
#include "gui/UnderLine.h"
#include "gui/graph/LineGraph.h"
#include "lang/ControlIds.h"

namespace va5 {

namespace ids_cg = ids::table_graph;

namespace {

// The point list asks for the width its headers and values need (its maximum width) and no
// height of its own: the plot decides the height.
class CPointList : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  QSize sizeHint() const override { return {maximumWidth(), 0}; }
};

}  // namespace

CCustomGraph::CCustomGraph(QWidget* parent) : QWidget(parent) { Build(); }

CCustomGraph::~CCustomGraph() = default;

void CCustomGraph::Build() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setSpacing(4);

  titleLabel_ = new CLblColor(this);
  SetControlId(titleLabel_, ids_cg::kTitle);
  QFont titleFont = font();
  MakeFont(titleFont, 110, 700);
  titleLabel_->SetLook(titleFont, QColor::fromRgb(kTitleBackground), Qt::black);
  titleLabel_->setAlignment(Qt::AlignCenter);
  grid->addWidget(titleLabel_, 0, 0, 1, 3);

  QFont small = font();
  MakeFont(small, 80, 400);
  const auto makeStatic = [&](int id) {
    auto* label = new QLabel(this);
    SetControlId(label, id);
    label->setFont(small);
    return label;
  };
  unitLabel_ = makeStatic(ids_cg::kValueAxisUnit);
  valueNameLabel_ = makeStatic(ids_cg::kValueAxisName);
  valueNameLabel_->setWordWrap(true);
  valueNameLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
  horizontalNameLabel_ = makeStatic(ids_cg::kHorizontalAxisName);
  horizontalNameLabel_->setAlignment(Qt::AlignCenter);
  bar_ = new CUnderLine(this);
  SetControlId(bar_, ids_cg::kValueAxisBar);
  bar_->setFixedHeight(3);

  graph_ = new CLineGraph(this);
  SetControlId(graph_, ids_cg::kPlot);

  // The value axis's texts to the left of the plot: the unit at the top, the name half-way
  // down with the bar under it.
  auto* axis = new QVBoxLayout;
  axis->addWidget(unitLabel_);
  axis->addStretch(1);
  axis->addWidget(valueNameLabel_);
  axis->addWidget(bar_);
  axis->addStretch(1);
  grid->addLayout(axis, 1, 0);
  grid->addWidget(graph_, 1, 1);
  grid->addWidget(horizontalNameLabel_, 2, 1);
  // The points beside the plot, as they were drawn; the list scrolls and keeps its width.
  points_ = new CPointList(0, 2, this);
  points_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  points_->setSelectionBehavior(QAbstractItemView::SelectRows);
  points_->setFont(small);
  points_->verticalHeader()->hide();
  points_->verticalHeader()->setDefaultSectionSize(QFontMetrics(small).height() + 4);
  points_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  // As wide as two values and the headers need (ApplyTexts), narrower when the window has
  // less room.
  points_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Ignored);
  points_->setMinimumWidth(QFontMetrics(small).horizontalAdvance(QStringLiteral("-0000.0000")));
  grid->addWidget(points_, 1, 2, 2, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 1);

  close_ = MakePanelButton("Close Graph", ids_cg::kCloseButton, this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close_);
  grid->addLayout(buttons, 3, 0, 1, 3);
  connect(close_, &QPushButton::clicked, this, &CCustomGraph::Close);
  bar_->Prepare();
}

void CCustomGraph::SetTexts(const QString& title, const QString& valueUnit,
                            const QString& horizontalName, const QString& valueName) {
  title_ = title;
  valueUnit_ = valueUnit;
  horizontalName_ = horizontalName;
  valueName_ = valueName;
  ApplyTexts();
}

void CCustomGraph::ApplyTexts() {
  titleLabel_->setText(title_);
  unitLabel_->setText(valueUnit_);
  valueNameLabel_->setText(valueName_);
  horizontalNameLabel_->setText(horizontalName_);
  titleLabel_->setAccessibleName(title_);
  unitLabel_->setAccessibleName(valueUnit_);
  valueNameLabel_->setAccessibleName(valueName_);
  horizontalNameLabel_->setAccessibleName(horizontalName_);
  graph_->setAccessibleName(title_);
  QString values = valueName_;
  if (!valueUnit_.isEmpty() && !values.contains(valueUnit_)) {
    values += QStringLiteral(" (%1)").arg(valueUnit_);
  }
  // The unit goes under the name: the columns are narrow.
  const QFontMetrics metrics(points_->font());
  int columnWidth = metrics.horizontalAdvance(QStringLiteral("-0000.0000"));
  int column = 0;
  for (const QString& header : {horizontalName_, values}) {
    const QString lines = QString(header).replace(QStringLiteral(" ("), QStringLiteral("\n("));
    for (const QString& line : lines.split(QLatin1Char('\n')))
      columnWidth = std::max(columnWidth, metrics.horizontalAdvance(line) + 24);
    auto* item = new QTableWidgetItem(lines);
    item->setToolTip(header);
    points_->setHorizontalHeaderItem(column++, item);
  }
  points_->setMaximumWidth(2 * columnWidth + points_->verticalScrollBar()->sizeHint().width() + 4);
  points_->setAccessibleName(DisplayText("Table_Points", "Table points"));
  NameButtonsByCaption(this);
}

graph::Range CCustomGraph::WidenRange(graph::Range range, const graph::Extremes& values) {
  if (!std::isfinite(range.min) || !std::isfinite(range.max)) {
    range = values.any ? graph::Range{values.smallest, values.largest} : graph::Range{0.0, 1.0};
  }
  if (range.max < range.min) std::swap(range.min, range.max);
  if (graph::ScaleOf(range.min, range.max).valid) return range;
  // No width to scale (all values equal), or one too wide for a double: opened around the
  // middle by a tenth of its magnitude, at least 1, so the curve runs across the middle.
  const double middle = range.min * 0.5 + range.max * 0.5;
  const double half = std::max(std::fabs(middle) / 10, 1.0);
  graph::Range widened{middle - half, middle + half};
  if (!graph::ScaleOf(widened.min, widened.max).valid) widened = {-half, half};
  return widened;
}

void CCustomGraph::SetGraph(const std::vector<double>& horizontal,
                            const std::vector<double>& values, graph::Range horizontalRange,
                            graph::Range valueRange) {
  graph::SampleSeries& series = graph_->Series();
  series.Assign(horizontal, values);
  graph_->SetRanges(WidenRange(horizontalRange, series.TimeExtremes()),
                    WidenRange(valueRange, series.ValueExtremes()));
  graph_->Plot();
  const std::size_t count = std::min(horizontal.size(), values.size());
  points_->setRowCount(static_cast<int>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const double pair[] = {horizontal[i], values[i]};
    for (int column = 0; column < 2; ++column) {
      auto* item =
          new QTableWidgetItem(QString::fromStdString(FormatCNumber("%.7g", pair[column])));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      points_->setItem(static_cast<int>(i), column, item);
    }
  }
}

void CCustomGraph::Show(bool visible) {
  if (visible && isHidden()) {
    LocaliseWindow(ids_cg::kLayout, this);
    // Localising leaves the program's texts of the statics as they were given.
    ApplyTexts();
    bar_->Prepare();
  }
  setVisible(visible);
  if (visible) close_->setFocus();
}

void CCustomGraph::Close() {
  graph_->Series().Clear();
  graph_->ClearPlot();
  points_->setRowCount(0);
  Show(false);
  emit closeRequested();
}

}  // namespace va5
