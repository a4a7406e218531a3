#include "app/adjust/alignmentdialog.h"

#include "app/widgets/services.h"
#include "app/widgets/waybillwindow.h"

#include "adjust/offsets.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

AlignmentDialog::AlignmentDialog(WaybillWindow& window, Services& services, QWidget* parent)
    : QDialog(parent), m_window(window), m_services(services)
{
    setObjectName(QStringLiteral("alignmentDialog"));
    setWindowTitle(QStringLiteral("位置合わせ印刷"));
    auto* layout = new QVBoxLayout(this);

    auto* steps = new QLabel(
        QStringLiteral(
            "1. 伝票に位置合わせの用紙を1枚印刷します（伝票の束があれば、書き損じとして記録します）。\n"
            "2. 用紙の①②の目盛りを、用紙に書いてあるとおりに読んで入れます（0.1 mm単位、右・下へのずれが＋）。\n"
            "3. 「ズレを直す」で、読んだ分だけズレを直して保存します。"),
        this);
    steps->setWordWrap(true);
    layout->addWidget(steps);
    m_offsets = new QLabel(this);
    const OffsetTexts now = window.offsetTexts();
    m_offsets->setText(QStringLiteral("いまのズレ：左右 %1・上下 %2").arg(now.horizontal, now.vertical));
    layout->addWidget(m_offsets);
    m_print = new QPushButton(QStringLiteral("位置合わせの用紙を印刷"), this);
    m_print->setObjectName(QStringLiteral("alignmentPrintButton"));
    m_print->setAutoDefault(false);
    auto* layoutsButton = new QPushButton(QStringLiteral("用紙レイアウト…（F9）"), this);
    layoutsButton->setObjectName(QStringLiteral("alignmentLayoutsButton"));
    layoutsButton->setAutoDefault(false);
    layoutsButton->setToolTip(QStringLiteral(
        "伝票のどこに何を印刷するかを、用紙の画像に重ねて決めます。位置合わせの目盛りも、そのレイアウトの郵便番号の枠に付きます"));
    connect(layoutsButton, &QPushButton::clicked, this, &AlignmentDialog::layoutsAsked);
    auto* printRow = new QHBoxLayout;
    printRow->addWidget(m_print);
    printRow->addStretch();
    printRow->addWidget(layoutsButton);
    layout->addLayout(printRow);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("左右"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("上下"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("①（入れる）"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("②（差を見るとき）"), this), 2, 0);
    for (int i = 0; i < 4; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("alignmentReading%1").arg(i + 1));
        field->setValidator(new QIntValidator(-adjust::kAlignmentReachTenthMm, adjust::kAlignmentReachTenthMm, field));
        field->setAlignment(Qt::AlignRight);
        field->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-000")) * 2);
        grid->addWidget(field, 1 + i / 2, 1 + i % 2);
        connect(field, &QLineEdit::textChanged, this, &AlignmentDialog::showOutcome);
        m_reading[size_t(i)] = field;
    }
    layout->addLayout(grid);

    m_result = new QLabel(this);
    m_result->setWordWrap(true);
    m_result->setMinimumHeight(fontMetrics().height() * 5);
    m_result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_result);

    auto* buttons = new QDialogButtonBox(this);
    m_apply = buttons->addButton(QStringLiteral("ズレを直す"), QDialogButtonBox::AcceptRole);
    m_apply->setObjectName(QStringLiteral("alignmentApplyButton"));
    buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(m_print, &QPushButton::clicked, this, &AlignmentDialog::printSheet);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!m_outcome)
            return;
        emit offsetsRead(*m_outcome);
        accept();
    });
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("あ")) * 40);
    showOutcome();
}

QString AlignmentDialog::resultText() const { return m_result->text(); }

void AlignmentDialog::printSheet()
{
    const std::optional<print::PrintOffsets> offsets = m_window.offsetsForPrint(this);
    if (!offsets)
        return;
    const station::Printed printed = m_services.printRun.printAlignmentSheet(*offsets);
    m_window.report(printed, this);
    if (printed.delivery.ok) {
        m_sheetOffsets = offsets;
        m_reading[0]->setFocus();
        showOutcome();
    }
}

std::optional<adjust::AlignmentReading> AlignmentDialog::reading() const
{
    auto value = [this](int i) -> std::optional<int> {
        bool read = false;
        const int n = m_reading[size_t(i)]->text().toInt(&read);
        return read ? std::optional(n) : std::nullopt;
    };
    const auto x = value(0), y = value(1);
    if (!x || !y)
        return std::nullopt;
    return adjust::AlignmentReading{*x, *y, value(2), value(3)};
}

void AlignmentDialog::showOutcome()
{
    m_outcome.reset();
    const std::optional<adjust::AlignmentReading> read = reading();
    if (!read) {
        m_result->setText(QStringLiteral("①の左右と上下を入れると、直したズレをここに示します。"));
        m_apply->setEnabled(false);
        return;
    }
    // The sheet's own offsets, when it was printed here; else the window's.
    std::optional<print::PrintOffsets> base = m_sheetOffsets;
    if (!base) {
        const OffsetTexts texts = m_window.offsetTexts();
        const auto now = adjust::offsetsForPrint(texts.horizontal, texts.vertical);
        if (!now) {
            m_result->setText(now.error());
            m_apply->setEnabled(false);
            return;
        }
        base = *now;
    }
    std::optional<double> formLengthMm;
    if (m_services.systemPrinter)
        if (const auto form = m_services.systemPrinter->formPaper())
            formLengthMm = form->lengthMm;
    const Result<print::Layout> layout = m_services.station.layoutInUse();
    if (!layout) {
        m_result->setText(layout.error());
        m_apply->setEnabled(false);
        return;
    }
    const auto outcome = adjust::alignmentOutcome(*base, *read, *layout, formLengthMm);
    if (!outcome) {
        m_result->setText(outcome.error());
        m_apply->setEnabled(false);
        return;
    }
    m_outcome = *outcome;
    m_result->setText(outcome->differenceSentence.isEmpty()
                          ? outcome->offsetsSentence
                          : outcome->offsetsSentence + QStringLiteral("\n\n") + outcome->differenceSentence);
    m_apply->setEnabled(true);
}

} // namespace app
