#include "app/tracking/formstackwindow.h"

#include "app/desktop/ime.h"
#include "app/desktop/messagebox.h"
#include "app/widgets/childwindow.h"
#include "app/widgets/entryfield.h"
#include "app/widgets/services.h"
#include "app/widgets/waybillwindow.h"
#include "tracking/carriers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace app {

QString nextFormLine(Services& services)
{
    const QString queue = services.station.formQueue();
    if (queue.isEmpty())
        return QStringLiteral("伝票番号：PDFに印刷するため使いません");
    const auto stack = services.station.formStacks().load(queue);
    if (!stack)
        return QStringLiteral("伝票番号：読めません（「伝票の束」で入れ直してください）");
    if (!*stack)
        return QStringLiteral("伝票番号：未設定");
    if ((*stack)->usedUp())
        return QStringLiteral("伝票番号：%1 まで使い切りました（伝票を入れ替えてください）")
            .arg((*stack)->nextForm().display());
    return QStringLiteral("次の伝票：%1 %2")
        .arg(tracking::carrierName((*stack)->carrier()), (*stack)->nextForm().display());
}

FormStackWindow::FormStackWindow(WaybillWindow& window, Services& services)
    : QWidget(&window, Qt::Window), m_window(window), m_services(services)
{
    setObjectName(QStringLiteral("FormStackWindow"));
    setWindowTitle(QStringLiteral("伝票の束 - ホルテア"));

    m_queue = new QLabel(this);
    m_queue->setObjectName(QStringLiteral("queue"));
    m_current = new QLabel(this);
    m_current->setObjectName(QStringLiteral("current"));
    QFont big = m_current->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    m_current->setFont(big);

    m_carrier = new QComboBox(this);
    m_carrier->setObjectName(QStringLiteral("carrier"));
    for (const tracking::CarrierRow& row : tracking::carrierRows())
        m_carrier->addItem(QString::fromUtf16(row.name), int(row.carrier));
    // Digits with the input method off, as the postal code: a scanner's
    // keys arrive as digits and Enter while the input method is on.
    m_number = new EntryField(EntryField::Kind::Numbers, this);
    m_number->setObjectName(QStringLiteral("nextNumber"));
    desktop::applyImeMode(m_number, desktop::ImeMode::Disabled);
    m_number->setPlaceholderText(QStringLiteral("例：4444-1375-8703（バーコードリーダーでも入ります）"));
    m_rule = new QLabel(this);
    m_rule->setObjectName(QStringLiteral("rule"));
    m_rule->setWordWrap(true);

    m_replace = new QPushButton(QStringLiteral("伝票を入れ替える"), this);
    m_replace->setObjectName(QStringLiteral("replaceStack"));
    m_replace->setToolTip(
        QStringLiteral("新しい伝票の束を入れたとき、運送会社と一番上の伝票の番号をこの束として設定します"));
    m_skip = new QPushButton(QStringLiteral("1枚飛ばす"), this);
    m_skip->setObjectName(QStringLiteral("skipForm"));
    m_skip->setToolTip(QStringLiteral("破れたり書き損じたりした次の伝票を、書き損じとして記録して飛ばします"));
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);

    m_senderPrePrinted = new QCheckBox(QStringLiteral("ご依頼主が印刷済みの伝票"), this);
    m_senderPrePrinted->setObjectName(QStringLiteral("senderPrePrinted"));
    m_senderPrePrinted->setToolTip(QStringLiteral(
        "このプリンタの伝票にご依頼主が印刷してあるときに選びます。ご依頼主が空でも印刷の前に聞きません"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("運送会社："), m_carrier);
    form->addRow(QStringLiteral("一番上の伝票の番号："), m_number);
    form->addRow(QString(), m_senderPrePrinted);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_replace);
    buttons->addWidget(m_skip);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_queue);
    layout->addWidget(m_current);
    layout->addLayout(form);
    layout->addWidget(m_rule);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(520, 260);

    const auto describeRule = [this] {
        m_rule->setText(tracking::ruleDescription(tracking::Carrier(m_carrier->currentData().toInt())));
    };
    describeRule();
    connect(m_carrier, &QComboBox::currentIndexChanged, this, describeRule);
    // A scanner ends the number with Enter.
    connect(m_number, &QLineEdit::returnPressed, this, &FormStackWindow::replaceStack);
    connect(m_replace, &QPushButton::clicked, this, &FormStackWindow::replaceStack);
    connect(m_skip, &QPushButton::clicked, this, &FormStackWindow::skipForm);
    connect(m_senderPrePrinted, &QCheckBox::clicked, this, [this](bool prePrinted) {
        const auto saved =
            m_services.station.formStacks().setSenderPrePrinted(m_services.station.formQueue(), prePrinted);
        if (!saved) {
            desktop::warn(m_services.messages, this, saved.error());
            refresh();
        }
    });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    connect(&m_window, &WaybillWindow::formStackChanged, this, &FormStackWindow::refresh);
}

QString FormStackWindow::currentText() const { return m_current->text(); }

QString FormStackWindow::ruleText() const { return m_rule->text(); }

void FormStackWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
    m_number->setFocus();
}

void FormStackWindow::refresh()
{
    const QString queue = m_services.station.formQueue();
    const bool usesForms = !queue.isEmpty();
    m_queue->setText(usesForms ? QStringLiteral("プリンタ「%1」に入っている伝票").arg(queue)
                               : QStringLiteral("印刷先がPDFファイルのため、伝票は使いません。"));
    m_current->setText(nextFormLine(m_services));
    m_replace->setEnabled(usesForms);
    m_senderPrePrinted->setEnabled(usesForms);
    m_senderPrePrinted->setChecked(usesForms && m_services.station.formStacks().senderPrePrinted(queue));
    m_skip->setEnabled(false);
    if (!usesForms)
        return;
    const auto stack = m_services.station.formStacks().load(queue);
    if (stack && *stack) {
        m_skip->setEnabled(!(*stack)->usedUp());
        const int index = m_carrier->findData(int((*stack)->carrier()));
        if (index >= 0 && m_number->text().isEmpty())
            m_carrier->setCurrentIndex(index);
    }
}

bool FormStackWindow::replaceStack()
{
    const QString queue = m_services.station.formQueue();
    if (queue.isEmpty())
        return false;
    const auto carrier = tracking::Carrier(m_carrier->currentData().toInt());
    const auto number = tracking::TrackingNumber::read(carrier, m_number->text());
    if (!number) {
        desktop::warn(m_services.messages, this, number.error());
        m_number->selectAll();
        return false;
    }
    if (const auto saved = m_services.station.formStacks().save(queue, tracking::FormStack(*number)); !saved) {
        desktop::warn(m_services.messages, this, saved.error());
        return false;
    }
    m_number->clear();
    emit m_window.formStackChanged();
    refresh();
    if (!number->checkDigitVerified())
        desktop::inform(m_services.messages, this, number->uncheckedNote());
    return true;
}

bool FormStackWindow::skipForm()
{
    const QString queue = m_services.station.formQueue();
    const auto stack = m_services.station.formStacks().load(queue);
    if (!stack || !*stack || (*stack)->usedUp()) {
        refresh();
        return false;
    }
    // Said before it happens: the number is gone for good once skipped.
    const tracking::TrackingNumber next = (*stack)->nextForm();
    desktop::Message question{QStringLiteral("次の伝票 %1（%2）を書き損じとして記録し、飛ばしますか？\n\n"
                                             "飛ばした伝票の番号は、どの荷物にも使いません。")
                                  .arg(next.display(), tracking::carrierName(next.carrier())),
                              desktop::MsgIcon::Question, desktop::MsgButtons::YesNo, desktop::MsgAnswer::No,
                              std::nullopt};
    question.yesText = QStringLiteral("%1 を飛ばす").arg(next.display());
    question.noText = QStringLiteral("やめる");
    if (m_services.messages.show(this, question) != desktop::MsgAnswer::Yes)
        return false;
    QString notice;
    const auto spoiled = m_services.printRun.spoilForm(next, &notice);
    if (!spoiled) {
        desktop::warn(m_services.messages, this, spoiled.error());
        refresh();
        return false;
    }
    emit m_window.formStackChanged();
    refresh();
    if (!notice.isEmpty())
        desktop::warn(m_services.messages, this, notice);
    return true;
}

FormStackWindow* showFormStack(WaybillWindow& window, Services& services)
{
    return showChildWindow<FormStackWindow>(window, window.partInUseOnScreen(),
                                            services.station.folders().settingsFile(),
                                            [&] { return new FormStackWindow(window, services); });
}

} // namespace app
