#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QWidget>
#include <vector>

#include "model/SourceReport.h"

class QTableView;
class QToolButton;

namespace quillmark {

// The preview's rows for a table view: ticked columns shaded, fields that
// would break the target's rows in red, stand-ins for lost characters
// marked (drawn by TPreviewDelegate).
class TPreviewModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    // Per unit of the display text: whether it is part of a stand-in.
    static constexpr int kLossyRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<TPreviewRow> rows, std::vector<QString> headers);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<TPreviewRow> FRows;
    std::vector<QString> FHeaders;
};

// Draws a cell's text with its stand-ins picked out.
class TPreviewDelegate final : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// The preview under the encoding box: a button that folds it away and the
// read-only table. It takes the height the panel has to spare.
class TPreviewPanel final : public QWidget {
    Q_OBJECT

  public:
    explicit TPreviewPanel(QWidget* parent = nullptr);

    TPreviewModel& Model() { return *FModel; }
    QTableView* Table() const { return FTable; }
    void SetCollapsed(bool collapsed);

  private:
    TPreviewModel* FModel;
    QToolButton* FToggle;
    QTableView* FTable;
    QWidget* FFiller;
};

}  // namespace quillmark
