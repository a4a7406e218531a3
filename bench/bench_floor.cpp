// The floor: what Qt itself costs. "startup": the cheapest Widgets window,
// one Japanese label. "stock": the program's window in Qt's own widgets.
// "page N [stock]": N bare waybill pages, the same texts, fonts and two
// circles drawn straight with QPainter into a PDF. "document N FILE":
// N bare pages of an order list's row (no second goods line, no numbers)
// into one PDF document, as `horutea --batch` writes them; "document-long N
// FILE": the same with the long addresses and goods of a shop's list, each
// scaled across to its place as a fitted text prints.
#include "common.h"

#include "app/controls.h"
#include "platform/memory.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFont>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>

namespace {

struct Item {
    int points;
    double xMm, yMm;
    const char* text;
    bool onBatchPage = true; // a row of an order list fills one goods line, without numbers
};

// The filled waybill's texts at their places (origin offsets 0).
const Item kItems[] = {
    {12, 68.0, 13.5, "1"},
    {12, 77.0, 13.5, "0"},
    {12, 86.0, 13.5, "0"},
    {12, 96.1, 13.5, "0"},
    {12, 105.1, 13.5, "0"},
    {12, 114.1, 13.5, "0"},
    {12, 123.1, 13.5, "1"},
    {10, 68.0, 24.8, "東京都千代田区千代田1-1"},
    {10, 58.0, 34.6, "テストビル3F"},
    {12, 59.0, 46.9, "山田太郎様"},
    {9, 74.0, 41.4, "鈴木様方"},
    {11, 74.5, 53.7, "03-1234-5678"},
    {10, 70.8, 62.4, "5"},
    {10, 76.0, 62.4, "3"},
    {10, 81.2, 62.4, "0"},
    {10, 86.9, 62.4, "0"},
    {10, 92.1, 62.4, "0"},
    {10, 97.3, 62.4, "0"},
    {10, 102.4, 62.4, "1"},
    {10, 68.0, 68.9, "大阪府大阪市北区梅田"},
    {10, 58.0, 77.0, "梅田ビル12F"},
    {11, 59.0, 89.9, "株式会社サンプル"},
    {8, 74.0, 84.0, "総務部気付"},
    {11, 74.5, 96.2, "06-9876-5432"},
    {10, 134.0, 68.7, "精密機械"},
    {10, 134.0, 77.2, "割れ物", false},
    {10, 134.0, 85.6, "AB-1234"},
    {10, 134.0, 93.9, "ZX-9", false},
    {10, 164.6, 68.7, "3", false},
    {10, 164.6, 77.2, "12", false},
    {10, 172.2, 68.7, "150", false},
    {10, 172.2, 77.2, "2500", false},
    {10, 183.5, 68.7, "450", false},
    {10, 183.5, 77.2, "30000", false},
    {10, 183.5, 89.9, "30450", false},
};

// The long texts of a shop's list where the batch page has short ones, and
// the width of each one's place.
struct LongText {
    double xMm, yMm;
    const char* text;
    double placeMm;
};
const LongText kLongTexts[] = {
    {68.0, 24.8, "北海道札幌市中央区北一条西１３丁目４番地１ノースプレイス", 66.0},
    {58.0, 34.6, "ノースプレイス大通公園前レジデンス　東棟１２０３号室", 76.0},
    {134.0, 68.7, "国産 今治タオル フェイスタオル 3枚セット ギフト箱入り", 30.6},
};

void drawPage(QPainter& p, QPrinter& printer, bool batchPage, bool longTexts = false)
{
    const double unit = printer.resolution() / 25.4;
    for (const Item& item : kItems) {
        if (batchPage && !item.onBatchPage)
            continue;
        QFont font(QStringLiteral("IPAPGothic"));
        font.setPointSize(item.points);
        p.setFont(font);
        const QPointF at(item.xMm * unit, item.yMm * unit + QFontMetricsF(font, &printer).ascent());
        const LongText* replaced = nullptr;
        for (const LongText& l : kLongTexts)
            if (longTexts && l.xMm == item.xMm && l.yMm == item.yMm)
                replaced = &l;
        if (!replaced) {
            p.drawText(at, QString::fromUtf8(item.text));
            continue;
        }
        const QString text = QString::fromUtf8(replaced->text);
        const double width = QFontMetricsF(font, &printer).horizontalAdvance(text);
        p.save();
        p.translate(at);
        p.scale(std::min(1.0, replaced->placeMm * unit / width), 1.0);
        p.drawText(QPointF(0, 0), text);
        p.restore();
    }
    QPen pen(Qt::black);
    pen.setWidthF(2 * printer.resolution() / 180.0);
    p.setPen(pen);
    p.drawEllipse(QPointF(37.3 * unit, 34.3 * unit), 3.0 * unit, 3.0 * unit);
    p.drawEllipse(QPointF(142.2 * unit, 38.3 * unit), 3.0 * unit, 3.0 * unit);
}

// The program's window built from Qt's own widgets: the same controls,
// places, captions, face and first states, none of the program's drawing
// or workings. Against it, the program's start-up and memory show what the
// program adds to the window it is asked to draw.
void buildStockWindow(QWidget& window)
{
    using app::pixelsFromTwips;
    const QString face = QStringLiteral("IPAPGothic");
    const QFont regular(face, app::kWindowFontPoints, QFont::Normal, false);
    window.resize(pixelsFromTwips(app::kClientWidthTwips), pixelsFromTwips(app::kClientHeightTwips));
    window.setFont(regular);
    QHash<QString, QWidget*> byName;
    for (const app::ControlSpec& spec : app::controlTable()) {
        QWidget* parent = spec.container ? byName.value(QString::fromUtf8(spec.container)) : &window;
        const QString caption = QString::fromUtf8(spec.caption);
        QWidget* w = nullptr;
        switch (spec.kind) {
        case app::Kind::Frame:
            w = new QGroupBox(caption, parent);
            break;
        case app::Kind::Label:
            w = new QLabel(caption, parent);
            break;
        case app::Kind::TextBox:
            w = new QLineEdit(caption, parent);
            break;
        case app::Kind::ComboBox: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setEditText(caption);
            w = combo;
            break;
        }
        case app::Kind::CheckBox:
        case app::Kind::OptionButton:
        case app::Kind::PushButton:
        case app::Kind::ToggleButton: {
            QAbstractButton* button = nullptr;
            if (spec.kind == app::Kind::CheckBox)
                button = new QCheckBox(caption, parent);
            else if (spec.kind == app::Kind::OptionButton)
                button = new QRadioButton(caption, parent);
            else
                button = new QPushButton(caption, parent);
            button->setCheckable(spec.kind != app::Kind::PushButton);
            button->setChecked(spec.initiallyOn);
            w = button;
            break;
        }
        case app::Kind::UpDown: {
            // Two arrow buttons, as the program's own control has.
            w = new QWidget(parent);
            const int width = pixelsFromTwips(spec.widthTwips), height = pixelsFromTwips(spec.heightTwips);
            const bool across = width > height;
            auto* less = new QToolButton(w);
            auto* more = new QToolButton(w);
            less->setArrowType(across ? Qt::LeftArrow : Qt::UpArrow);
            more->setArrowType(across ? Qt::RightArrow : Qt::DownArrow);
            const QSize half = across ? QSize(width / 2, height) : QSize(width, height / 2);
            less->setGeometry(QRect(QPoint(0, 0), half));
            more->setGeometry(QRect(across ? QPoint(width / 2, 0) : QPoint(0, height / 2), half));
            break;
        }
        case app::Kind::CommonDialog:
            continue; // never shown
        }
        w->setGeometry(pixelsFromTwips(spec.leftTwips), pixelsFromTwips(spec.topTwips),
                       pixelsFromTwips(spec.widthTwips), pixelsFromTwips(spec.heightTwips));
        // A bold coloured frame's caption only: the controls inside keep the
        // window's face and colours.
        const bool plainInside = !spec.colour && parent->font().bold();
        if (spec.font == app::Font::Bold12)
            w->setFont(QFont(face, 12, QFont::Bold));
        else if (plainInside)
            w->setFont(regular);
        if (spec.colour || plainInside) {
            QPalette palette = w->palette();
            palette.setColor(QPalette::WindowText, spec.colour
                                                       ? QColor::fromRgb(spec.colour)
                                                       : QGuiApplication::palette().color(QPalette::WindowText));
            w->setPalette(palette);
        }
        w->setEnabled(spec.enabled);
        w->setVisible(spec.visible);
        byName.insert(QString::fromUtf8(spec.name), w);
    }
}

void page(QPrinter& printer, const QString& file)
{
    printer.setOutputFileName(file);
    QPainter p(&printer);
    drawPage(p, printer, false);
}

} // namespace

int main(int argc, char** argv)
{
    platform::keepFreedBlocksForReuse();
    const bool longDocument = argc > 3 && qstrcmp(argv[1], "document-long") == 0;
    if (argc > 3 && (qstrcmp(argv[1], "document") == 0 || longDocument)) {
        // The whole process is measured from outside, as the command line
        // is, with the same application object and platform as it has.
        QGuiApplication app(argc, argv);
        QPrinter printer(QPrinter::HighResolution);
        printer.setFullPage(true);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromLocal8Bit(argv[3]));
        QPainter p(&printer);
        const int n = atoi(argv[2]);
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                printer.newPage();
            drawPage(p, printer, true, longDocument);
        }
        return p.end() ? 0 : 1;
    }
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("startup");
    if (mode == QLatin1String("page")) {
        const int n = argc > 2 ? atoi(argv[2]) : 10;
        // Pages are printed from a shown window, as in the program: one
        // label, or with "stock" the program's window in Qt's own widgets.
        std::unique_ptr<QWidget> shown;
        if (argc > 3 && qstrcmp(argv[3], "stock") == 0) {
            shown = std::make_unique<QWidget>();
            buildStockWindow(*shown);
        } else {
            shown = std::make_unique<QLabel>(QStringLiteral("お届け先"));
            shown->setFont(QFont(QStringLiteral("IPAPGothic"), 9));
        }
        shown->show();
        QCoreApplication::processEvents();
        QTemporaryDir dir;
        // The printer exists before the first page, as in the program.
        QPrinter printer(QPrinter::HighResolution);
        printer.setFullPage(true);
        printer.setOutputFormat(QPrinter::PdfFormat);
        for (int i = 0; i < n; ++i) {
            QElapsedTimer t;
            t.start();
            page(printer, dir.filePath(QStringLiteral("page%1.pdf").arg(i)));
            std::printf("page %lld\n", static_cast<long long>(t.nsecsElapsed()));
            if (i == 0) // what Qt and its printer support hold after one page
                std::printf("memory %ld\n", bench::peakRssKiB());
        }
        return 0;
    }
    if (mode == QLatin1String("stock")) {
        QWidget window;
        buildStockWindow(window);
        bench::FirstPaint marker(&window);
        window.show();
        return QApplication::exec();
    }
    QLabel label(QStringLiteral("お届け先"));
    label.setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    bench::FirstPaint marker(&label);
    label.show();
    return QApplication::exec();
}
