#include "app/senderlists.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>

namespace app {

namespace {

// A list line wider than this is cut with an ellipsis; its tooltip is whole.
constexpr int kLongestLinePixels = 520;

} // namespace

void DropDownComboBox::showPopup()
{
    if (!showList || !showList())
        QComboBox::showPopup();
}

SenderLists::SenderLists(const QList<DropDownComboBox*>& fields, Recent recent, Chosen chosen, QObject* parent)
    : QObject(parent), m_recent(std::move(recent)), m_chosen(std::move(chosen))
{
    for (DropDownComboBox* field : fields)
        field->showList = [this, field] { return open(field); };
}

QString SenderLists::lineOf(const waybill::Address& a)
{
    const QString address = QStringList{a.line1, a.line2}.join(QLatin1Char(' ')).trimmed();
    QStringList parts;
    for (const QString& part : {a.name, address, a.telephone})
        if (!part.trimmed().isEmpty())
            parts.append(part.trimmed());
    if (parts.isEmpty())
        return a.postalCode.trimmed();
    return parts.join(QStringLiteral("　"));
}

bool SenderLists::open(DropDownComboBox* field)
{
    const QList<addressbook::AddressEntry> senders = m_recent();
    if (senders.isEmpty())
        return false; // the box's own list, empty as ever
    QMenu list(field);
    list.setObjectName(QStringLiteral("senderList"));
    list.setMinimumWidth(field->width());
    list.setToolTipsVisible(true);
    const QFontMetrics metrics(list.font());
    for (const addressbook::AddressEntry& sender : senders) {
        const QString line = lineOf(sender.address);
        QString shown = metrics.elidedText(line, Qt::ElideRight, kLongestLinePixels);
        // A menu takes & for a keyboard accelerator.
        QAction* action = list.addAction(shown.replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setToolTip(line);
        action->setData(sender.id);
    }
    list.setActiveAction(list.actions().front());
    QAction* picked = list.exec(field->mapToGlobal(QPoint(0, field->height())));
    if (!picked)
        return true;
    for (const addressbook::AddressEntry& sender : senders)
        if (sender.id == picked->data().toLongLong())
            m_chosen(sender);
    return true;
}

} // namespace app
