#include "ui/dialogs/FaultTableDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

#include "ui/UiText.h"
#include "ui/widgets/DialogUnits.h"

namespace tola {

FaultTableDialog::FaultTableDialog(AppState& app, QWidget* parent) : QDialog(parent), m_controller(app) {
  setWindowTitle(ToQt(FaultTableController::kCaption));
  setObjectName(QStringLiteral("faultTable"));
  setSizeGripEnabled(true);

  m_list = new QTreeWidget(this);
  m_list->setObjectName(QStringLiteral("faultList"));
  m_list->setAccessibleName(StringQt(kIdsFaultListName));
  m_list->setRootIsDecorated(false);
  m_list->setUniformRowHeights(true);
  m_list->setSortingEnabled(false);
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  QStringList headers;
  for (const char* column : FaultTableController::kColumns) headers.push_back(ToQt(column));
  m_list->setHeaderLabels(headers);
  m_list->header()->setSectionsClickable(false);
  m_list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Each column as wide as its widest text; the rest of the width stays empty, as in a report.
  m_list->header()->setStretchLastSection(false);

  auto* copy = new QAction(StringQt(kIdsCopyRows), m_list);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copy, &QAction::triggered, this, &FaultTableDialog::CopySelection);
  m_list->addAction(copy);
  m_list->setContextMenuPolicy(Qt::ActionsContextMenu);

  m_button = new QPushButton(ToQt(FaultTableController::kCloseButton), this);
  m_button->setObjectName(QStringLiteral("close"));
  m_button->setDefault(true);
  connect(m_button, &QPushButton::clicked, this, [this] { m_controller.Close(); });

  // The list takes every pixel the dialog gains; "Close" keeps to the lower right corner.
  auto* grid = new QGridLayout(this);
  grid->addWidget(m_list, 0, 0, 1, 2);
  grid->addWidget(m_button, 1, 1);
  grid->setRowStretch(0, 1);
  grid->setColumnStretch(0, 1);

  m_controller.onRefresh = [this] { Refresh(); };
  m_controller.onClosed = [this] {
    ShowBusy(*this, *m_button, false);
    done(QDialog::Rejected);
  };

  resize(DialogUnits(*this, 340, 180).expandedTo(sizeHint()));
  // Larger, never smaller than it opens.
  setMinimumSize(size());
}

FaultTableDialog::~FaultTableDialog() = default;

void FaultTableDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_begun) return;
  m_begun = true;
  m_button->setFocus();
  QTimer::singleShot(0, this, [this] {
    if (!m_controller.Open()) Refresh();
  });
}

void FaultTableDialog::reject() {
  if (m_controller.Closed()) {
    QDialog::reject();
    return;
  }
  m_controller.Close();
}

void FaultTableDialog::Refresh() {
  ShowBusy(*this, *m_button, m_controller.Busy());
  if (m_controller.Listed() && !m_filled) Fill();
}

void FaultTableDialog::Fill() {
  m_filled = true;
  m_list->setUpdatesEnabled(false);
  m_list->clear();
  QList<QTreeWidgetItem*> items;
  for (const FaultRow& row : m_controller.Rows()) {
    items.push_back(new QTreeWidgetItem(QStringList{ToQt(row.index), ToQt(row.faultCode), ToQt(row.timestamp),
                                                    ToQt(row.frequency), ToQt(row.variableData)}));
  }
  m_list->addTopLevelItems(items);
  for (int column = 0; column < m_list->columnCount(); ++column) {
    // The larger of the contents' and the header's width.
    m_list->resizeColumnToContents(column);
    m_list->setColumnWidth(column,
                           std::max(m_list->columnWidth(column), FaultTableController::kMinimumColumnWidth));
  }
  m_list->setUpdatesEnabled(true);
  m_list->viewport()->update();
}

QString FaultTableDialog::SelectedRowsText() const {
  QString text;
  for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item->isSelected()) continue;
    QStringList cells;
    for (int column = 0; column < m_list->columnCount(); ++column) cells.push_back(item->text(column));
    text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  return text;
}

void FaultTableDialog::CopySelection() {
  const QString text = SelectedRowsText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

}  // namespace tola
