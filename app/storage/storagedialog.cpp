#include "app/storage/storagedialog.h"

#include "platform/secretstore.h"
#include "station/movetoserver.h"
#include "storage/server.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace app {

namespace {

constexpr int kProgressSteps = 1000;

} // namespace

StorageDialog::StorageDialog(const QString& serverUrl, Services& services, QWidget* parent)
    : QDialog(parent), m_services(services),
      m_thisPc(new QRadioButton(QStringLiteral("このPC（このパソコンのファイル。1台で使うとき）"), this)),
      m_server(new QRadioButton(QStringLiteral("サーバー（PostgreSQL。何台かの作業台で共有するとき）"), this)),
      m_host(new QLineEdit(this)), m_port(new QSpinBox(this)), m_database(new QLineEdit(this)),
      m_user(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_test(new QPushButton(QStringLiteral("接続を試す"), this)),
      m_move(new QPushButton(QStringLiteral("このPCのデータをサーバーへ移す"), this)), m_status(new QLabel(this))
{
    setWindowTitle(QStringLiteral("データの保存先"));
    m_thisPc->setObjectName(QStringLiteral("thisPcChoice"));
    m_server->setObjectName(QStringLiteral("serverChoice"));
    m_host->setObjectName(QStringLiteral("serverHost"));
    m_port->setObjectName(QStringLiteral("serverPort"));
    m_database->setObjectName(QStringLiteral("serverDatabase"));
    m_user->setObjectName(QStringLiteral("serverUser"));
    m_password->setObjectName(QStringLiteral("serverPassword"));
    m_test->setObjectName(QStringLiteral("testConnection"));
    m_move->setObjectName(QStringLiteral("moveThisPcsData"));
    m_status->setObjectName(QStringLiteral("connectionStatus"));
    m_port->setRange(1, 65535);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("保管してあるとき、~/.pgpass に書いてあるときは空のまま"));
    m_status->setWordWrap(true);

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
    form->addRow(QStringLiteral("パスワード:"), m_password);
    auto* password = new QLabel(QStringLiteral("パスワードは設定のファイルには書かず、このPCの鍵束（デスクトップの"
                                               "パスワード保管場所）に保管します。"),
                                this);
    password->setWordWrap(true);
    auto* tools = new QHBoxLayout;
    tools->addWidget(m_test);
    tools->addWidget(m_move);
    tools->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_test, &QPushButton::clicked, this, &StorageDialog::testConnection);
    connect(m_move, &QPushButton::clicked, this, &StorageDialog::moveThisPcsData);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_thisPc);
    layout->addWidget(m_server);
    layout->addLayout(form);
    layout->addWidget(password);
    layout->addLayout(tools);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    connect(m_server, &QRadioButton::toggled, this, &StorageDialog::showChoice);
    showChoice();
}

void StorageDialog::showChoice()
{
    for (QWidget* field :
         {static_cast<QWidget*>(m_host), static_cast<QWidget*>(m_port), static_cast<QWidget*>(m_database),
          static_cast<QWidget*>(m_user), static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_test),
          static_cast<QWidget*>(m_move)})
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

QString StorageDialog::password() const { return m_server->isChecked() ? m_password->text() : QString(); }

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

std::unique_ptr<storage::Database> StorageDialog::typedServer() const
{
    storage::Database::Options options;
    // None typed: the one kept for this very server, else ~/.pgpass.
    const QString settingsFile = m_services.station.folders().settingsFile();
    const bool keptForIt =
        station::storedServerUrl(settingsFile) == serverUrl() &&
        QSettings(settingsFile, QSettings::IniFormat).value(station::kServerPasswordKeptKey).toBool();
    if (!password().isEmpty())
        options.serverPassword = password();
    else if (!keptForIt)
        options.serverPassword = QString();
    return std::make_unique<storage::Database>(serverUrl(), options);
}

bool StorageDialog::testConnection()
{
    m_testedUrl.clear();
    if (const QString why = problem(); !why.isEmpty()) {
        m_status->setText(why);
        return false;
    }
    const auto address = storage::serverAddressFrom(serverUrl());
    m_status->setText(QStringLiteral("サーバー（%1）につないでいます…").arg(address->hostAndPort()));
    m_status->repaint();
    const std::unique_ptr<storage::Database> server = typedServer();
    storage::ProblemsMet problems(*server);
    const bool answered = server->ensureOpen();
    const std::optional<storage::Problem> met = problems.take();
    if (answered) {
        m_testedUrl = serverUrl() + password();
        m_status->setText(QStringLiteral("サーバー（%1）のデータベース「%2」につながりました。")
                              .arg(address->hostAndPort(), address->database));
    } else {
        m_status->setText(met ? met->message : QStringLiteral("サーバーにつながりませんでした。"));
    }
    return answered;
}

void StorageDialog::moveThisPcsData()
{
    if (const QString why = problem(); !why.isEmpty()) {
        m_status->setText(why);
        return;
    }
    storage::Database local(m_services.station.localDatabasePath());
    const std::unique_ptr<storage::Database> server = typedServer();
    QProgressDialog progress(QStringLiteral("このPCのデータをサーバーへ移しています…"), QStringLiteral("中止"), 0,
                             kProgressSteps, this);
    progress.setWindowTitle(QStringLiteral("このPCのデータをサーバーへ移す"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setValue(0);
    const station::MoveReport report = station::moveToServer(local, *server, [&](double done, const QString& doing) {
        progress.setLabelText(doing);
        progress.setValue(int(done * kProgressSteps));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    progress.close();
    m_status->setText(report.message);
    if (report.ok)
        m_testedUrl = serverUrl() + password(); // it answered
    m_services.messages.show(this, {report.message, report.ok || report.cancelled ? desktop::MsgIcon::Information
                                                                                  : desktop::MsgIcon::Warning});
}

bool chooseStorage(QWidget& window, Services& services)
{
    const QString settingsFile = services.station.folders().settingsFile();
    StorageDialog dialog(station::storedServerUrl(settingsFile), services, &window);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (const QString problem = dialog.problem(); !problem.isEmpty()) {
            services.messages.show(&window, {problem, desktop::MsgIcon::Warning});
            continue; // what was typed stays in the dialog
        }
        // A server is tried before it is kept; one that does not answer now
        // is kept only when the user says so (it may be started later).
        if (!dialog.serverUrl().isEmpty() && !dialog.testedAsTyped() && !dialog.testConnection() &&
            services.messages.show(&window, {dialog.findChild<QLabel*>(QStringLiteral("connectionStatus"))->text() +
                                                 QStringLiteral("\n\nつながらないまま、この保存先にしますか？"),
                                             desktop::MsgIcon::Question, desktop::MsgButtons::YesNo,
                                             desktop::MsgAnswer::No}) != desktop::MsgAnswer::Yes)
            continue;
        if (const Result<void> kept = station::storeServerUrl(settingsFile, dialog.serverUrl()); !kept) {
            services.messages.show(&window, {kept.error(), desktop::MsgIcon::Critical});
            continue;
        }
        break;
    }
    const QString url = dialog.serverUrl();
    QStringList said{url.isEmpty() ? QStringLiteral("データの保存先を「このPC」にしました。")
                                   : QStringLiteral("データの保存先をサーバー「%1」にしました。").arg(url)};
    if (!dialog.password().isEmpty()) {
        const QString problem = platform::keepSecret(storage::serverAddressFrom(url)->secretKey(), dialog.password());
        QSettings(settingsFile, QSettings::IniFormat).setValue(station::kServerPasswordKeptKey, problem.isEmpty());
        said << (problem.isEmpty() ? QStringLiteral("パスワードは、このPCの鍵束に保管しました。")
                                   : QStringLiteral("パスワードは保管できませんでした。") + problem);
    }
    // From now on: the next use opens the new place.
    services.station.reopenDatabase();
    said << QStringLiteral("いまから、この保存先の住所録と履歴を使います。");
    if (!url.isEmpty() && QFileInfo::exists(services.station.localDatabasePath()))
        said << QStringLiteral("このPCの住所録と履歴をサーバーに移すには、「データの保存先」の"
                               "「このPCのデータをサーバーへ移す」を押してください（2回行っても二重にはなりません）。");
    services.messages.show(&window, {said.join(QStringLiteral("\n\n"))});
    return true;
}

} // namespace app
