#include "gui/PreviewTable.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/QtString.h"

namespace quillmark {

namespace {

const QColor kQuotedBackground(222, 235, 255);
const QColor kBreakingBackground(255, 205, 205);
const QColor kLossyBackground(255, 225, 120);
const QColor kLossyText(176, 0, 0);

// A line feed inside a field would make the row of the table taller than
// the others: it is shown as a sign.
QString DisplayText(const std::u16string& text) {
    QString shown = ToQString(text);
    shown.replace(QChar(u'\n'), QChar(u'\u21B5'));
    return shown;
}

}  // namespace

void TPreviewModel::SetRows(std::vector<TPreviewRow> rows, std::vector<QString> headers) {
    beginResetModel();
    FRows = std::move(rows);
    FHeaders = std::move(headers);
    endResetModel();
}

int TPreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TPreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FHeaders.size());
}

QVariant TPreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= FRows.size()) return {};
    const TPreviewRow& row = FRows[static_cast<std::size_t>(index.row())];
    if (static_cast<std::size_t>(index.column()) >= row.size()) return {};
    const TPreviewCell& cell = row[static_cast<std::size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
            return DisplayText(cell.Text);
        case Qt::BackgroundRole:
            if (cell.Breaks) return kBreakingBackground;
            if (cell.Quoted) return kQuotedBackground;
            return {};
        case Qt::ToolTipRole: {
            QStringList tips;
            if (cell.Breaks)
                tips << QStringLiteral("二重引用符をつけないと、このフィールドで変換先の行が崩れます。");
            if (!cell.Lossy.empty())
                tips << QStringLiteral("変換先の文字コードで表せない文字が「?」などに置き換わります。");
            return tips.isEmpty() ? QVariant() : QVariant(tips.join(u'\n'));
        }
        case kLossyRole: {
            QList<QVariant> flags;
            for (const bool lossy : cell.Lossy)
                flags.append(lossy);
            return flags;
        }
        default:
            return {};
    }
}

QVariant TPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return section >= 0 && static_cast<std::size_t>(section) < FHeaders.size()
               ? QVariant(FHeaders[static_cast<std::size_t>(section)])
               : QVariant();
}

void TPreviewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QList<QVariant> lossy = index.data(TPreviewModel::kLossyRole).toList();
    if (lossy.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The background and selection as usual, then the text run by run.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    const QString text = background.text;
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const QRect area =
        style->subElementRect(QStyle::SE_ItemViewItemText, &background, widget).adjusted(2, 0, -2, 0);
    painter->save();
    painter->setClipRect(area);
    painter->setFont(background.font);
    const QFontMetrics metrics(background.font);
    int x = area.left();
    for (qsizetype at = 0; at < text.size() && x < area.right();) {
        const bool picked = at < lossy.size() && lossy[at].toBool();
        qsizetype end = at + 1;
        while (end < text.size() && (end < lossy.size() && lossy[end].toBool()) == picked)
            ++end;
        const QString run = text.mid(at, end - at);
        const int width = metrics.horizontalAdvance(run);
        const QRect box(x, area.top(), width, area.height());
        if (picked) {
            painter->fillRect(box, kLossyBackground);
            painter->setPen(kLossyText);
        } else {
            painter->setPen(background.palette.color(
                option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        }
        painter->drawText(box, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, run);
        x += width;
        at = end;
    }
    painter->restore();
}

TPreviewPanel::TPreviewPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("PanelPreview");
    // It asks for no room of its own: the window keeps the size it has
    // without it, and the preview shows in what the panel has to spare.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FToggle = new QToolButton(this);
    FToggle->setObjectName("ButtonPreview");
    FToggle->setText(QStringLiteral("変換先のプレビュー（先頭 %1 行）").arg(kPreviewRows));
    FToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FToggle->setAutoRaise(true);
    FToggle->setCheckable(true);
    FToggle->setChecked(true);
    FToggle->setArrowType(Qt::DownArrow);
    FToggle->setToolTip(QStringLiteral("プレビューを表示します。もう一度押すと閉じます。"));
    FToggle->setStatusTip(
        QStringLiteral("変換先CSVファイルの先頭の行を、今のチェックと文字コードで表示します。"));
    FModel = new TPreviewModel(this);
    FTable = new QTableView(this);
    FTable->setObjectName("TablePreview");
    FTable->setModel(FModel);
    FTable->setItemDelegate(new TPreviewDelegate(FTable));
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTable->setWordWrap(false);
    FTable->setTabKeyNavigation(false);
    // Tab goes round the settings alone; the preview is there to be seen.
    FTable->setFocusPolicy(Qt::ClickFocus);
    FToggle->setFocusPolicy(Qt::ClickFocus);
    FTable->verticalHeader()->setDefaultSectionSize(FTable->fontMetrics().height() + 6);
    FTable->horizontalHeader()->setDefaultSectionSize(96);
    // The window keeps its size: the table takes what height is left over.
    FTable->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    FTable->setMinimumHeight(0);
    FFiller = new QWidget(this);
    FFiller->hide();
    layout->addWidget(FToggle);
    layout->addWidget(FTable, 1);
    layout->addWidget(FFiller, 1);
    connect(FToggle, &QToolButton::toggled, this, [this](bool shown) { SetCollapsed(!shown); });
}

void TPreviewPanel::SetCollapsed(bool collapsed) {
    FToggle->setChecked(!collapsed);
    FToggle->setArrowType(collapsed ? Qt::RightArrow : Qt::DownArrow);
    FTable->setVisible(!collapsed);
    FFiller->setVisible(collapsed);
}

}  // namespace quillmark
