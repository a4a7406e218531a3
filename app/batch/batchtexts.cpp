#include "app/batch/batchtexts.h"

#include "app/batch/orderlistmodel.h"
#include "orders/batchrows.h"
#include "orders/orderlist.h"

#include <QLabel>
#include <QLocale>

namespace app {

QString countText(qint64 n) { return QLocale(QLocale::Japanese, QLocale::Japan).toString(n); }

BatchTexts::BatchTexts(QWidget* parent) : QObject(parent)
{
    m_banner = new QLabel(parent);
    m_banner->setWordWrap(true);
    m_banner->setTextFormat(Qt::PlainText);
    m_banner->setStyleSheet(
        QStringLiteral("QLabel { background: #fde8e8; color: #8a0000; border: 1px solid #e0a0a0; padding: 6px; }"));
    m_banner->hide();

    m_summary = new QLabel(parent);

    m_rowDetail = new QLabel(parent);
    m_rowDetail->setWordWrap(true);
    m_rowDetail->setTextFormat(Qt::PlainText);
    m_rowDetail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_rowDetail->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_rowDetail->setMinimumHeight(m_rowDetail->fontMetrics().lineSpacing() * 3 + 4);

    m_status = new QLabel(parent);
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
}

QString BatchTexts::bannerText() const { return m_banner->isHidden() ? QString() : m_banner->text(); }
QString BatchTexts::summaryText() const { return m_summary->text(); }
QString BatchTexts::rowDetailText() const { return m_rowDetail->text(); }
QString BatchTexts::statusText() const { return m_status->text(); }

void BatchTexts::setStatus(const QString& text) { m_status->setText(text); }

void BatchTexts::setBanner(const QString& text)
{
    m_banner->setText(text);
    m_banner->setVisible(!text.isEmpty());
}

void BatchTexts::showListRead(const orders::OrderList& list)
{
    if (list.readingFailed())
        setBanner(QStringLiteral("%1\nそれより前の %2 行は読み込んであります。")
                      .arg(list.errorText(), countText(list.rowCount())));
    else if (!list.missingFields().isEmpty())
        setBanner(
            QStringLiteral(
                "どの列が次の欄になるか決まっていないため、行を確かめられません：%1。「列の対応…」で選んでください。")
                .arg(list.missingFields().join(QStringLiteral("、"))));
    else if (list.rowCount() == 0)
        setBanner(QStringLiteral("このファイルには見出しの行のほかに行がありません。"));
    else
        setBanner(list.headingNotes().join(QLatin1Char('\n')));
}

qint64 BatchTexts::showCounts(const orders::OrderList& list, bool open)
{
    if (!open) {
        m_summary->clear();
        return 0;
    }
    const orders::RowCounts c = orders::countStates(list);
    QStringList parts;
    parts << QStringLiteral("印刷できる %1").arg(countText(c.printable))
          << QStringLiteral("不備あり %1").arg(countText(c.refused))
          << QStringLiteral("除外 %1").arg(countText(c.excluded))
          << QStringLiteral("印刷済み %1").arg(countText(c.printed));
    if (c.unchecked > 0)
        parts << QStringLiteral("確認待ち %1").arg(countText(c.unchecked));
    if (const std::optional<orders::Shop> shop = list.shop())
        m_summary->setText(QStringLiteral("%1（%2 行）から全 %3 件の注文：%4")
                               .arg(orders::shopName(*shop), countText(list.fileRowCount()), countText(list.rowCount()),
                                    parts.join(QStringLiteral("、"))));
    else
        m_summary->setText(
            QStringLiteral("全 %1 行：%2").arg(countText(list.rowCount()), parts.join(QStringLiteral("、"))));
    return c.printable;
}

void BatchTexts::showRow(OrderListModel& model, qint64 row, bool open)
{
    const orders::OrderList& list = model.list();
    if (row < 0 || row >= list.rowCount()) {
        m_rowDetail->setText(open ? QString() : QStringLiteral("CSVを開くと、ここに選んだ行の不備の理由が出ます。"));
        return;
    }
    const QString line = QStringLiteral("%1行目").arg(list.lineOf(row));
    const QString edited =
        list.isEdited(row) ? QStringLiteral("（この一覧で修正済み。ファイルは元のままです）") : QString();
    switch (list.state(row)) {
    case orders::RowState::Unchecked:
        m_rowDetail->setText(QStringLiteral("%1はまだ確かめていません。").arg(line));
        break;
    case orders::RowState::Printable:
        m_rowDetail->setText(QStringLiteral("%1は印刷できます%2。").arg(line, edited));
        break;
    case orders::RowState::Refused:
        m_rowDetail->setText(
            QStringLiteral("%1の不備%2（Enterキーで直せます）：\n%3").arg(line, edited, model.reasonsOf(row)));
        break;
    case orders::RowState::Excluded:
        m_rowDetail->setText(QStringLiteral("%1は印刷から除外しています。Delキーで戻せます。").arg(line));
        break;
    case orders::RowState::Printed:
        m_rowDetail->setText(QStringLiteral("%1は印刷済みです%2。").arg(line, edited));
        break;
    }
}

} // namespace app
