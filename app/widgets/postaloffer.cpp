#include "app/widgets/postaloffer.h"

#include "postal/postalcode.h"
#include "station/station.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

namespace app {

QStringList addressesOfCode(station::Station& station, const QString& postalCode,
                            const std::function<void(const QString& why)>& unavailable)
{
    if (!postal::normalizedCode(postalCode))
        return {};
    const postal::LookupResult result = station.postalCodes().lookup(postalCode);
    if (result.status == postal::LookupStatus::DataUnavailable && unavailable)
        unavailable(result.message);
    QStringList addresses;
    for (const postal::Match& match : result.matches)
        addresses << postal::addressLine1(match);
    addresses.removeDuplicates();
    return addresses;
}

PostalOffer::PostalOffer(QLineEdit* postalCode, QLineEdit* addressLine1, Lookup lookup, QObject* parent)
    : QObject(parent), m_postalCode(postalCode), m_address(addressLine1), m_lookup(std::move(lookup)),
      m_ownHint(addressLine1->placeholderText())
{
    connect(m_postalCode, &QLineEdit::textChanged, this, &PostalOffer::update);
    connect(m_address, &QLineEdit::textChanged, this, &PostalOffer::update);
    m_address->installEventFilter(this);
    // An editable combo box keeps the focus itself and hands its edit field
    // the keys it does not use; ↓ it uses, to step through its list.
    if (auto* combo = qobject_cast<QComboBox*>(m_address->parentWidget()); combo && combo->lineEdit() == m_address) {
        m_keyHolder = combo;
        combo->installEventFilter(this);
    }
}

void PostalOffer::update()
{
    // Only for an empty first line: an address the user typed is theirs.
    m_offered = m_address->text().isEmpty() ? m_lookup(m_postalCode->text()) : QStringList();
    if (m_offered.isEmpty())
        m_address->setPlaceholderText(m_ownHint);
    else if (m_offered.size() == 1)
        m_address->setPlaceholderText(QStringLiteral("↓ %1").arg(m_offered.front()));
    else
        m_address->setPlaceholderText(
            QStringLiteral("↓ %1 ほか %2 件から選ぶ").arg(m_offered.front()).arg(m_offered.size() - 1));
}

bool PostalOffer::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_address || watched == m_keyHolder) && event->type() == QEvent::KeyPress && !m_offered.isEmpty() &&
        m_address->text().isEmpty()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
            take();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PostalOffer::take()
{
    if (m_offered.size() == 1) {
        m_address->insert(m_offered.front());
        return;
    }
    QMenu choices(m_address);
    choices.setObjectName(QStringLiteral("postalChoices"));
    for (const QString& address : m_offered)
        choices.addAction(address);
    choices.setActiveAction(choices.actions().front());
    if (QAction* chosen = choices.exec(m_address->mapToGlobal(QPoint(0, m_address->height()))))
        m_address->insert(chosen->text());
}

} // namespace app
