#pragma once
// 「データの保存先」: where this station keeps the address book and the
// print history, this PC's own file or a database on a server several
// stations share. The server is tried before it is kept; its password, when
// one is typed, goes to the desktop's secret store (never to the settings);
// this PC's data can be moved to the server from here; the choice applies
// at once, without a restart.
#include "app/widgets/services.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace app {

class StorageDialog final : public QDialog {
    Q_OBJECT
public:
    // serverUrl: the choice kept now; empty for this PC.
    StorageDialog(const QString& serverUrl, Services& services, QWidget* parent);
    // The choice as the settings keep it: a URL, or empty for this PC.
    QString serverUrl() const;
    // The password typed; empty when none was (the one kept, or
    // ~/.pgpass, is used then).
    QString password() const;
    // Why the choice cannot be kept as it stands; empty when it can.
    QString problem() const;

    // 「接続を試す」: connects to the server as typed, says the outcome in
    // the dialog; true when the server can be used.
    bool testConnection();
    // Whether the server as typed now was tried and answered.
    bool testedAsTyped() const { return !m_testedUrl.isEmpty() && m_testedUrl == serverUrl() + password(); }
    // 「このPCのデータをサーバーへ移す」: this PC's book and history copied
    // to the server as typed, with progress; the outcome said.
    void moveThisPcsData();

private:
    void showChoice();
    // The server's database as typed, with the password typed if any.
    std::unique_ptr<storage::Database> typedServer() const;

    Services& m_services;
    QRadioButton* m_thisPc;
    QRadioButton* m_server;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QLineEdit* m_database;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QPushButton* m_test;
    QPushButton* m_move;
    QLabel* m_status;
    QString m_testedUrl; // the URL and password that answered last
};

// Opens the dialog over `parent` and keeps what the user chose; from then
// on the station uses it. True when the choice was kept.
bool chooseStorage(QWidget& parent, Services& services);

} // namespace app
