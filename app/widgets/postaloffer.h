#pragma once
// The address a complete postal code stands for, offered in the empty first
// address line: shown there as a hint, taken with the down-arrow key (a list
// to choose from when the code stands for several towns). Nothing is ever
// written into the field unless the user takes it; typing is untouched.
#include <QObject>
#include <QStringList>
#include <functional>

class QLineEdit;
class QWidget;

namespace station {
class Station;
}

namespace app {

// The first address lines a complete postal code stands for, from the
// station's postal data; `unavailable` hears why when the data cannot be
// read. Only a complete code opens the data file.
QStringList addressesOfCode(station::Station& station, const QString& postalCode,
                            const std::function<void(const QString& why)>& unavailable);

class PostalOffer final : public QObject {
    Q_OBJECT
public:
    // The addresses of a postal code text, for the first address line;
    // empty when it is not a complete, known code.
    using Lookup = std::function<QStringList(const QString& postalCode)>;

    PostalOffer(QLineEdit* postalCode, QLineEdit* addressLine1, Lookup lookup, QObject* parent = nullptr);

    QStringList offered() const { return m_offered; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
    void take();

    QLineEdit* m_postalCode;
    QLineEdit* m_address;
    QWidget* m_keyHolder = nullptr; // the combo box around the address field, if any
    Lookup m_lookup;
    QStringList m_offered;
    QString m_ownHint; // the field's own placeholder, given back when nothing is offered
};

} // namespace app
