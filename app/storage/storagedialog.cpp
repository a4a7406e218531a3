#include "app/storage/storagedialog.h"

#include "storage/server.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace app {

StorageDialog::StorageDialog(const QString& serverUrl, QWidget* parent)
    : QDialog(parent),
      m_thisPc(new QRadioButton(QStringLiteral("このPC（このパソコンのファイル。1台で使うとき）"), this)),
      m_server(new QRadioButton(QStringLiteral("サーバー（PostgreSQL。何台かの作業台で共有するとき）"), this)),
      m_host(new QLineEdit(this)), m_port(new QSpinBox(this)), m_database(new QLineEdit(this)),
      m_user(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("データの保存先"));
    m_thisPc->setObjectName(QStringLiteral("thisPcChoice"));
    m_server->setObjectName(QStringLiteral("serverChoice"));
    m_host->setObjectName(QStringLiteral("serverHost"));
    m_port->setObjectName(QStringLiteral("serverPort"));
    m_database->setObjectName(QStringLiteral("serverDatabase"));
    m_user->setObjectName(QStringLiteral("serverUser"));
    m_port->setRange(1, 65535);

    const auto address = storage::serverAddressFrom(serverUrl);
    (address ? m_server : m_thisPc)->setChecked(true);
    m_port->setValue(address ? address->port : storage::ServerAddress::kDefaultPort);
    if (address) {
        m_host->setText(address->host);
        m_database->setText(address->database);
        m_user->setText(address->user);
    }

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ホスト名:"), m_host);
    form->addRow(QStringLiteral("ポート番号:"), m_port);
    form->addRow(QStringLiteral("データベース:"), m_database);
    form->addRow(QStringLiteral("ユーザー:"), m_user);
    auto* password = new QLabel(
        QStringLiteral("パスワードはここには書きません。サーバーが求めるときは、このPCの ~/.pgpass に書いてください。"),
        this);
    password->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_thisPc);
    layout->addWidget(m_server);
    layout->addLayout(form);
    layout->addWidget(password);
    layout->addWidget(buttons);
    connect(m_server, &QRadioButton::toggled, this, &StorageDialog::showChoice);
    showChoice();
}

void StorageDialog::showChoice()
{
    for (QWidget* field : {static_cast<QWidget*>(m_host), static_cast<QWidget*>(m_port),
                           static_cast<QWidget*>(m_database), static_cast<QWidget*>(m_user)})
        field->setEnabled(m_server->isChecked());
}

QString StorageDialog::serverUrl() const
{
    if (!m_server->isChecked())
        return {};
    storage::ServerAddress address;
    address.host = m_host->text().trimmed();
    address.port = m_port->value();
    address.database = m_database->text().trimmed();
    address.user = m_user->text().trimmed();
    return address.url();
}

QString StorageDialog::problem() const
{
    if (!m_server->isChecked())
        return {};
    if (m_host->text().trimmed().isEmpty())
        return QStringLiteral("サーバーのホスト名（または IP アドレス）を入れてください。");
    if (m_database->text().trimmed().isEmpty())
        return QStringLiteral("サーバーのデータベースの名前を入れてください。");
    if (const auto address = storage::serverAddressFrom(serverUrl()); !address)
        return address.error();
    return {};
}

void chooseStorage(QWidget& window, Services& services)
{
    const QString settingsFile = services.station.folders().settingsFile();
    StorageDialog dialog(station::storedServerUrl(settingsFile), &window);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (const QString problem = dialog.problem(); !problem.isEmpty()) {
            services.messages.show(&window, {problem, desktop::MsgIcon::Warning});
            continue; // what was typed stays in the dialog
        }
        if (const Result<void> kept = station::storeServerUrl(settingsFile, dialog.serverUrl()); !kept) {
            services.messages.show(&window, {kept.error(), desktop::MsgIcon::Critical});
            continue;
        }
        break;
    }
    const QString url = dialog.serverUrl();
    QString said = url.isEmpty() ? QStringLiteral("データの保存先を「このPC」にしました。")
                                 : QStringLiteral("データの保存先をサーバー「%1」にしました。").arg(url);
    said += QStringLiteral("ホルテアを起動し直すと、新しい保存先の住所録と履歴を使います。");
    if (!url.isEmpty() && QFileInfo::exists(services.station.localDatabasePath()))
        said += QStringLiteral("\n\nこのPCの住所録と履歴をサーバーに移すには、次のコマンドを一度実行してください"
                               "（2回実行しても二重にはなりません）。\nhorutea --database %1 --import-local")
                    .arg(url);
    services.messages.show(&window, {said});
}

} // namespace app
