#include "app/batch/columnmappingdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace app {

namespace {

// A long cell or heading is cut with an ellipsis; the whole text is its tooltip.
QLabel* cutLabel(const QString& text, int maxChars, QWidget* parent)
{
    const QString shown = text.size() > maxChars ? text.left(maxChars - 1) + QChar(0x2026) : text;
    auto* label = new QLabel(shown, parent);
    label->setTextFormat(Qt::PlainText);
    if (shown != text)
        label->setToolTip(text);
    return label;
}

} // namespace

ColumnMappingDialog::ColumnMappingDialog(const QStringList& headings, const QList<QStringList>& samples,
                                         const orders::ColumnMap& current, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ColumnMappingDialog"));
    setWindowTitle(QStringLiteral("列の対応"));
    auto* intro = new QLabel(
        QStringLiteral(
            "どの列が送り状のどの欄になるかを確かめて、違うところは選び直してください。"
            "見出しから分かった欄は選んであります。選んだ対応は覚えておき、同じ見出しの一覧を次に開いたときにもそのまま使います。"
            "送り状に使わない列は「（使わない）」にしてください。"
            "姓と名、電話番号の3つの部分のように一つの欄が何列かに分かれているときは、それぞれの列に同じ欄を選ぶと、"
            "左の列から順につないで使います。"),
        this);
    intro->setWordWrap(true);

    auto* table = new QWidget;
    auto* grid = new QGridLayout(table);
    grid->setHorizontalSpacing(12);
    const QStringList captions = {QStringLiteral("列"), QStringLiteral("見出し"), QStringLiteral("1行目の内容"),
                                  QStringLiteral("送り状の欄")};
    for (int c = 0; c < captions.size(); ++c) {
        auto* caption = new QLabel(captions[c], table);
        QFont bold = caption->font();
        bold.setBold(true);
        caption->setFont(bold);
        grid->addWidget(caption, 0, c);
    }
    const QList<orders::Field> fields = orders::assignableFields();
    const orders::ColumnMap suggested = orders::suggestedColumns(headings, current);
    for (int column = 0; column < headings.size(); ++column) {
        const int gridRow = column + 1;
        grid->addWidget(new QLabel(QString::number(column + 1), table), gridRow, 0, Qt::AlignRight);
        grid->addWidget(cutLabel(headings[column], 24, table), gridRow, 1);
        const QString sample = samples.isEmpty() ? QString() : samples.front().value(column);
        grid->addWidget(cutLabel(sample, 24, table), gridRow, 2);
        auto* choice = new QComboBox(table);
        choice->setObjectName(QStringLiteral("column%1").arg(column));
        for (orders::Field field : fields)
            choice->addItem(orders::fieldLabel(field), QVariant::fromValue(int(field)));
        choice->setCurrentIndex(std::max(0, int(fields.indexOf(suggested.value(column, orders::Field::None)))));
        choice->setAccessibleName(QStringLiteral("「%1」の送り状の欄").arg(headings[column]));
        connect(choice, &QComboBox::currentIndexChanged, this, &ColumnMappingDialog::check);
        grid->addWidget(choice, gridRow, 3);
        m_choices << choice;
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(int(headings.size()) + 1, 1);

    auto* scroll = new QScrollArea(this);
    scroll->setWidget(table);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    m_verdict = new QLabel(this);
    m_verdict->setWordWrap(true);
    m_verdict->setStyleSheet(QStringLiteral("QLabel { color: #9c0000; }"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(QStringLiteral("この対応で読む"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (canAccept())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(scroll, 1);
    layout->addWidget(m_verdict);
    layout->addWidget(buttons);

    // Wide enough for the intro in three lines, high enough for about twelve columns.
    const int rowHeight = m_choices.isEmpty() ? 24 : m_choices.front()->sizeHint().height() + grid->verticalSpacing();
    resize(std::max(640, table->sizeHint().width() + 60),
           std::min(720, 200 + rowHeight * int(std::min<qsizetype>(headings.size() + 1, 13))));
    if (!m_choices.isEmpty())
        m_choices.front()->setFocus();
    check();
}

orders::ColumnMap ColumnMappingDialog::chosen() const
{
    orders::ColumnMap map;
    for (const QComboBox* choice : m_choices)
        map << orders::Field(choice->currentData().toInt());
    return map;
}

QComboBox* ColumnMappingDialog::choiceFor(int column) const { return m_choices.value(column); }

void ColumnMappingDialog::choose(int column, orders::Field field)
{
    if (QComboBox* choice = choiceFor(column))
        choice->setCurrentIndex(choice->findData(QVariant::fromValue(int(field))));
}

QString ColumnMappingDialog::verdictText() const { return m_verdict->text(); }
bool ColumnMappingDialog::canAccept() const { return m_ok->isEnabled(); }

void ColumnMappingDialog::check()
{
    const orders::ColumnMap map = chosen();
    QStringList said;
    if (const orders::Field twice = orders::duplicatedField(map); twice != orders::Field::None) {
        QStringList columns;
        for (int column = 0; column < map.size(); ++column)
            if (map[column] == twice)
                columns << QStringLiteral("%1列目").arg(column + 1);
        said << QStringLiteral("「%1」が%2で重なっています。1つの列だけにしてください。")
                    .arg(orders::fieldLabel(twice), columns.join(QStringLiteral("と")));
    }
    if (const QStringList missing = orders::missingFields(map); !missing.isEmpty())
        said << QStringLiteral("次の欄になる列を選んでください：%1").arg(missing.join(QStringLiteral("、")));
    // Several columns on one field are joined: say so, so that a slip of
    // the choice is seen.
    QStringList joined;
    for (int column = 0; column < map.size(); ++column) {
        const orders::Field field = map[column];
        if (field == orders::Field::None || !orders::isJoinable(field) || map.indexOf(field) != column ||
            map.indexOf(field, column + 1) < 0)
            continue;
        QStringList columns;
        for (int other = column; other < map.size(); ++other)
            if (map[other] == field)
                columns << QStringLiteral("%1列目").arg(other + 1);
        joined << QStringLiteral("「%1」は%2をつないで作ります。")
                      .arg(orders::fieldLabel(field), columns.join(QStringLiteral("と")));
    }
    m_verdict->setText((said + joined).join(QLatin1Char('\n')));
    m_verdict->setVisible(!said.isEmpty() || !joined.isEmpty());
    m_ok->setEnabled(said.isEmpty());
}

} // namespace app
