#pragma once
// 「データの保存先」: where this station keeps the address book and the
// print history, this PC's own file or a database on a server several
// stations share. Kept in the program's settings (never a password) and used
// from the next start.
#include "app/widgets/services.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace app {

class StorageDialog final : public QDialog {
    Q_OBJECT
public:
    // serverUrl: the choice kept now; empty for this PC.
    StorageDialog(const QString& serverUrl, QWidget* parent);
    // The choice as the settings keep it: a URL, or empty for this PC.
    QString serverUrl() const;
    // Why the choice cannot be kept as it stands; empty when it can.
    QString problem() const;

private:
    void showChoice();

    QRadioButton* m_thisPc;
    QRadioButton* m_server;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QLineEdit* m_database;
    QLineEdit* m_user;
};

// Opens the dialog over `parent` and keeps what the user chose.
void chooseStorage(QWidget& parent, Services& services);

} // namespace app
