#include "app/preview/formpaperdialog.h"

#include "paper/formfeed.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

QString feedWarning(double lengthMm)
{
    const paper::FormFeed feed = paper::formFeedFor(lengthMm);
    if (feed.exact)
        return {};
    return QStringLiteral(
               "この長さは、連続用紙を1/6インチ単位で送るプリンタ（24ピンのドットプリンタなど）では %1（%2 mm）として送られ、"
               "1枚ごとに %3 mm ずつ%4へずれていきます。ちょうど送れる近い長さ: %5（%6 mm）、%7（%8 mm）。")
        .arg(feed.fed.inchesText(), QString::number(feed.fed.mm(), 'f', 2))
        .arg(std::abs(feed.driftPerFormMm), 0, 'f', 2)
        .arg(feed.driftPerFormMm > 0 ? QStringLiteral("下") : QStringLiteral("上"))
        .arg(feed.shorter.inchesText(), QString::number(feed.shorter.mm(), 'f', 2))
        .arg(feed.longer.inchesText(), QString::number(feed.longer.mm(), 'f', 2));
}

FormPaperDialog::FormPaperDialog(std::optional<paper::FormPaper> current, QWidget* parent)
    : QDialog(parent), m_width(new QLineEdit(this)), m_length(new QLineEdit(this)), m_verdict(new QLabel(this))
{
    setWindowTitle(QStringLiteral("連続用紙の大きさ"));
    auto* intro = new QLabel(
        QStringLiteral(
            "お使いの連続伝票1枚の幅と長さを入れてください。ミリ（114.3 mm）でもインチ（4 1/2 in）でも書けます。"
            "設定すると、印刷はこの大きさの用紙1枚に1枚分ずつ送られます。"),
        this);
    intro->setWordWrap(true);
    m_width->setPlaceholderText(QStringLiteral("例: 10 in"));
    m_length->setPlaceholderText(QStringLiteral("例: 4 1/2 in"));
    if (current) {
        m_width->setText(QStringLiteral("%1 mm").arg(current->widthMm));
        m_length->setText(QStringLiteral("%1 mm").arg(current->lengthMm));
    }
    m_verdict->setWordWrap(true);
    m_verdict->setMinimumHeight(m_verdict->fontMetrics().lineSpacing() * 4);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("幅："), m_width);
    fields->addRow(QStringLiteral("長さ（送り方向）："), m_length);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    auto* printerPaper = buttons->addButton(QStringLiteral("プリンタの用紙に戻す"), QDialogButtonBox::ResetRole);
    printerPaper->setToolTip(QStringLiteral("大きさの設定をやめ、「プリンタの設定」で選んだ用紙に印刷します"));
    printerPaper->setEnabled(current.has_value());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(fields);
    layout->addWidget(m_verdict);
    layout->addWidget(buttons);
    setMinimumWidth(520);

    connect(m_width, &QLineEdit::textChanged, this, &FormPaperDialog::check);
    connect(m_length, &QLineEdit::textChanged, this, &FormPaperDialog::check);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(printerPaper, &QPushButton::clicked, this, [this] {
        m_chosen.reset();
        accept();
    });
    check();
}

QString FormPaperDialog::verdictText() const { return m_verdict->text(); }

void FormPaperDialog::check()
{
    m_chosen.reset();
    if (m_width->text().trimmed().isEmpty() || m_length->text().trimmed().isEmpty()) {
        m_verdict->setText(QString());
        m_ok->setEnabled(false);
        return;
    }
    const auto paper = paper::formPaperFrom(m_width->text(), m_length->text());
    if (!paper) {
        m_verdict->setText(paper.error());
        m_ok->setEnabled(false);
        return;
    }
    m_chosen = *paper;
    const QString warning = feedWarning(m_chosen->lengthMm);
    m_verdict->setText(paper::describe(*m_chosen) + (warning.isEmpty() ? QString() : QStringLiteral("\n") + warning));
    m_ok->setEnabled(true);
}

} // namespace app
