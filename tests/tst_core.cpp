// The core without any widget: a waybill printed into a PDF by a program
// that has only a QGuiApplication, documents of several pages, and what a
// failure releases (nothing).
#include "faildevice.h"
#include "glyphs.h"
#include "waybillcheck.h"

#include "platform/fonts.h"
#include "print/overrun.h"
#include "print/pdfoutput.h"
#include "print/printjob.h"
#include "waybill/waybill.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

using namespace testing;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class CoreTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(!qobject_cast<QCoreApplication*>(QCoreApplication::instance())->inherits("QApplication"));
        platform::installFontSubstitutions();
    }

    // Nothing of Qt Widgets is loaded into this process.
    void noWidgetsLoaded()
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray loaded = maps.readAll();
        QVERIFY(loaded.contains("libQt6Gui"));
        QVERIFY(!loaded.contains("libQt6Widgets"));
    }

    // Every printed character has a glyph: an ideograph of family names the
    // print's own face lacks (𠮷) prints from the face the chain adds,
    // measured in the PDF; a character no face has is named with its field,
    // once, and what shaping hides (a variation selector) is not.
    void everyCharacterHasAGlyphOrIsNamed()
    {
        using namespace Qt::StringLiterals;
        const QString none = characterNoFaceHas();
        QCOMPARE(print::charactersWithoutGlyph(u"𠮷野家 髙橋 葛\U000E0100城"_s), QString());
        QCOMPARE(print::charactersWithoutGlyph(u"田"_s + none + u"中\x01"_s + none), none + u"\x01"_s);
        waybill::Waybill w = expect::filledWaybill();
        w.recipient.name = u"田中"_s + none;
        w.sender.name = u"𠮷田商店"_s;
        const QStringList problems = print::printProblems(w);
        QVERIFY2(problems.size() == 1 && problems[0].contains(u"お届け先の名前の「%1」（U+%2）"_s.arg(
                                             none, QString::number(none.toUcs4()[0], 16).toUpper())),
                 qPrintable(problems.join(u'\n')));
        QVERIFY(print::printProblem(w).value_or(QString()).contains(none));

        // The same page with the ideograph and with a blank in its place.
        w.sender = expect::filledWaybill().sender;
        qsizetype ink[2] = {};
        for (int i = 0; i < 2; ++i) {
            const QString file = m_dir.filePath(u"glyph%1.pdf"_s.arg(i));
            w.recipient.name = (i == 0 ? u"𠮷"_s : u"　"_s) + u"田太郎"_s;
            QVERIFY(print::printProblems(w).isEmpty());
            print::PrintState state;
            QVERIFY(print::PdfFileDestination(file).print(1, [&](int) { return print::waybillPage(w, {}, state); }).ok);
            QCOMPARE(pdf::run(u"pdffonts"_s, {file}).contains(u"NotoSansCJKjp"_s), i == 0);
            pdf::run(u"pdftoppm"_s, {u"-r"_s, u"150"_s, u"-gray"_s, file, m_dir.filePath(u"glyph%1"_s.arg(i))});
            const QImage page(m_dir.filePath(u"glyph%1-1.pgm"_s.arg(i)));
            for (int y = 0; y < page.height(); ++y)
                for (int x = 0; x < page.width(); ++x)
                    ink[i] += qGray(page.pixel(x, y)) < 128;
        }
        // A 12-point ideograph of a dozen strokes at 150 dpi: well over 100 dark pixels.
        QVERIFY2(ink[0] - ink[1] > 100, qPrintable(u"%1 / %2"_s.arg(ink[0]).arg(ink[1])));
    }

    // The history's stored form of a waybill is the bytes Qt's own JSON
    // writer gives, whatever the texts hold, and reads back as the waybill.
    void waybillStoredAsQtWritesIt()
    {
        using namespace Qt::StringLiterals;
        QString ascii;
        for (char16_t c = 0; c < 0x80; ++c)
            ascii += QChar(c);
        const QChar high(0xd842), low(0xdfb7); // the halves of 𠮷
        waybill::Waybill w = expect::filledWaybill();
        w.recipient.name = ascii;
        w.recipient.careOf = u"\u0080\u07ff\u0800\uffff\u2028"_s + high + low + u"様"_s;
        w.sender.line1 = QString(high) + u"a"_s + low; // halves without their pair
        w.sender.line2 = u"終わり"_s + high;
        w.goods[1].description = u"\"引用\" \\ ="_s;
        w.recipient.careOfShown = true;
        w.numericMode = true;
        w.arrivalNotice = waybill::ArrivalNotice::NotWanted;
        w.deliveryTime = waybill::DeliveryTime::Night;
        waybill::Waybill whole = w; // halves without their pair do not read back
        whole.sender.line1 = u"a"_s;
        whole.sender.line2 = u"終わり"_s;
        const std::array<waybill::Waybill, 3> waybills{w, whole, waybill::Waybill{}};
        for (size_t i = 0; i < waybills.size(); ++i) {
            const QByteArray written = waybill::toCompactJson(waybills[i]);
            QCOMPARE(written, QJsonDocument(waybill::toJson(waybills[i])).toJson(QJsonDocument::Compact));
            if (i > 0)
                QCOMPARE(waybill::waybillFromJson(QJsonDocument::fromJson(written).object()), waybills[i]);
        }
    }

    // Two different waybills as one two-page document, each page measured.
    void documentOfTwoPages()
    {
        const QString file = m_dir.filePath(QStringLiteral("two.pdf"));
        const waybill::Waybill waybills[] = {expect::filledWaybill(), expect::secondWaybill()};
        print::PrintState state;
        print::PdfFileDestination pdf(file);
        int progressCalls = 0;
        const print::Delivery d = pdf.print(
            2,
            [&](int i) {
                return print::waybillPage(waybills[i], {23, -7}, state);
            },
            [&](int done, int count) { return ++progressCalls == done && count == 2; });
        QVERIFY2(d.ok && d.pages == 2, qPrintable(d.message));
        QCOMPARE(pdf::pageCount(file), 2);
        QVERIFY(pdf::run(QStringLiteral("pdfinfo"), {file}).contains(QStringLiteral("595 x 842"))); // A4 until set
        for (int page = 1; page <= 2; ++page) {
            const double worst = checkWaybillPage(file, page, waybills[page - 1], 23, -7, Corner{}, 0.05);
            QVERIFY(!QTest::currentTestFailed());
            qInfo("page %d: texts within %.3f mm of their designed places", page, worst);
        }
    }

    // A page that cannot be made, a cancel, or a device that fails half way
    // releases nothing: the earlier file stays as it was, a new one is gone.
    void failureReleasesNothing()
    {
        const QString file = m_dir.filePath(QStringLiteral("kept.pdf"));
        if (QFile old(file); !old.open(QIODevice::WriteOnly) || old.write("earlier document") != 16)
            QFAIL("cannot write the earlier file");
        print::PrintState state;
        auto pages = [&](int i) {
            if (i == 1)
                throw print::JobStopped{QStringLiteral("止めました")};
            return print::waybillPage(expect::filledWaybill(), {}, state);
        };
        print::Delivery d = print::PdfFileDestination(file).print(2, pages);
        QVERIFY(!d.ok);
        QCOMPARE(d.message, QStringLiteral("止めました"));
        QCOMPARE(readAll(file), QByteArray("earlier document"));

        d = print::PdfFileDestination(file).print(2, pages, [](int, int) { return false; });
        QVERIFY(d.cancelled && !d.ok);
        QCOMPARE(readAll(file), QByteArray("earlier document"));

        // A new file that could not be completed is removed, never left empty.
        const QString fresh = m_dir.filePath(QStringLiteral("fresh.pdf"));
        d = print::PdfFileDestination(fresh, print::defaultPdfPaper(),
                                      print::PdfFileDestination::Existing::NeverOverwrite)
                .print(2, pages);
        QVERIFY(!d.ok);
        QVERIFY(!QFile::exists(fresh));
    }

    // The device fails at a chosen byte: the writer says so, for an early
    // and a late failure alike.
    void failingDevice()
    {
        print::PrintState state;
        auto page = [&](int) { return print::waybillPage(expect::filledWaybill(), {}, state); };
        QBuffer whole;
        whole.open(QIODevice::WriteOnly);
        QVERIFY(print::writePdfDocument(whole, print::defaultPdfPaper(), {}, 1, page, {}).ok);
        for (qint64 limit : {qint64(10), whole.size() / 2, whole.size() - 1}) {
            FailDevice device(limit);
            QVERIFY2(!print::writePdfDocument(device, print::defaultPdfPaper(), {}, 1, page, {}).ok,
                     qPrintable(QString::number(limit)));
        }
        FailDevice roomy(whole.size() + 100);
        QVERIFY(print::writePdfDocument(roomy, print::defaultPdfPaper(), {}, 1, page, {}).ok);
    }

    void failureNamesTheCause()
    {
        print::PrintState state;
        auto page = [&](int) { return print::waybillPage(waybill::Waybill{}, {}, state); };
        const QString missing = m_dir.filePath(QStringLiteral("no-such-folder/x.pdf"));
        const print::Delivery d = print::PdfFileDestination(missing).print(1, page);
        QVERIFY2(!d.ok && d.message.contains(QStringLiteral("no-such-folder")) &&
                     d.message.contains(QStringLiteral("ありません")),
                 qPrintable(d.message));
        QVERIFY(!d.message.contains(QStringLiteral("プリンタ")));
    }
};

QTEST_MAIN(CoreTest)
#include "tst_core.moc"
