#include "cli/batch.h"

#include "cli/exit.h"
#include "orders/batchrows.h"
#include "platform/instance.h"
#include "platform/readfile.h"
#include "print/overrun.h"
#include "print/pdfoutput.h"
#include "print/systemprinter.h"
#include "station/orderprint.h"

#include <QPrinterInfo>
#include <QSettings>
#include <memory>

namespace cli {

namespace {

// Not the window: never refuses for a running window.
class NoInstanceCheck final : public platform::InstanceDetector {
public:
    bool anotherInstanceRunning() override { return false; }
};

} // namespace

int runBatch(const BatchRequest& request, const platform::Folders& folders, QTextStream& out, QTextStream& err)
{
    auto done = [&](int code) {
        out.flush();
        err.flush();
        return code;
    };
    std::optional<csv::Encoding> encoding;
    if (request.encoding.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0)
        encoding = csv::Encoding::Utf8;
    else if (request.encoding.compare(QLatin1String("cp932"), Qt::CaseInsensitive) == 0 ||
             request.encoding.compare(QLatin1String("shift_jis"), Qt::CaseInsensitive) == 0)
        encoding = csv::Encoding::Cp932;
    else if (!request.encoding.isEmpty()) {
        err << QStringLiteral("文字コード「%1」は扱えません。utf-8 か cp932 を指定してください。\n")
                   .arg(request.encoding);
        return done(exitCannotRun);
    }

    // Settings read from a named pipe or a device would never return.
    if (const QString problem = platform::specialFileProblem(folders.settingsFile(), QStringLiteral("設定ファイル"));
        !problem.isEmpty()) {
        err << problem << '\n';
        return done(exitCannotRun);
    }

    // The destination first: a queue that is not there stops the run before
    // the list is read.
    std::unique_ptr<print::SystemPrinter> systemPrinter;
    std::unique_ptr<print::PdfFileDestination> pdfFile;
    print::Destination* destination = nullptr;
    if (!request.pdfPath.isEmpty()) {
        const print::SystemPrinter settings(folders.documentsFolder(), folders.settingsFile());
        // A form size that cannot be would feed every form wrongly.
        if (!settings.settingsProblem().isEmpty()) {
            err << settings.settingsProblem() << '\n';
            return done(exitCannotRun);
        }
        QPageLayout paper = print::defaultPdfPaper();
        if (const auto form = settings.formPaper())
            paper = QPageLayout(
                QPageSize(QSizeF(form->widthMm, form->lengthMm), QPageSize::Millimeter, {}, QPageSize::ExactMatch),
                QPageLayout::Portrait, QMarginsF());
        pdfFile = std::make_unique<print::PdfFileDestination>(request.pdfPath, paper);
        destination = pdfFile.get();
    } else {
        systemPrinter = std::make_unique<print::SystemPrinter>(folders.documentsFolder(), folders.settingsFile());
        if (!systemPrinter->settingsProblem().isEmpty()) {
            err << systemPrinter->settingsProblem() << '\n';
            return done(exitCannotRun);
        }
        if (!request.queue.isEmpty()) {
            if (QPrinterInfo::printerInfo(request.queue).isNull()) {
                err << QStringLiteral("プリンタ「%1」が見つかりません。lpstat -p で名前を確かめてください。\n")
                           .arg(request.queue);
                return done(exitCannotRun);
            }
            systemPrinter->chooseWith([&](QPrinter& printer) {
                printer.setPrinterName(request.queue);
                return true;
            });
        }
        destination = systemPrinter.get();
    }

    NoInstanceCheck noInstanceCheck;
    station::Station station(folders, noInstanceCheck, *destination);
    station::PrintRun run(station);
    if (!request.databaseLocation.isEmpty())
        station.setDatabaseLocation(request.databaseLocation);
    station.setStorageProblemReceiver([&err](const storage::Problem& problem) { err << problem.message << '\n'; });

    // The forms' numbers are checked before the list is read: a wrong check
    // digit prints nothing.
    std::optional<tracking::TrackingNumber> firstFormNumber;
    if (!request.firstNumber.isEmpty()) {
        std::optional<tracking::Carrier> carrier;
        if (!request.carrier.isEmpty()) {
            const auto named = tracking::carrierFromToken(request.carrier);
            if (!named) {
                err << named.error() << '\n';
                return done(exitCannotRun);
            }
            carrier = *named;
        } else if (const QString queue = station.formQueue(); !queue.isEmpty()) {
            const auto stack = station.formStacks().load(queue);
            if (!stack) {
                err << stack.error() << '\n';
                return done(exitCannotRun);
            }
            if (*stack)
                carrier = (*stack)->carrier();
        }
        if (!carrier) {
            err << QStringLiteral("伝票の運送会社が分かりません。--carrier %1 のどれかで指定してください。\n")
                       .arg(tracking::carrierTokenChoices());
            return done(exitCannotRun);
        }
        auto number = tracking::TrackingNumber::read(*carrier, request.firstNumber);
        if (!number) {
            err << number.error() << QStringLiteral("\n何も印刷していません。\n");
            return done(exitCannotRun);
        }
        if (!number->checkDigitVerified())
            err << number->uncheckedNote() << '\n';
        firstFormNumber = *number;
    }
    const adjust::OffsetStore::Loaded offsets = station.offsets().startUp();
    if (!offsets.problems.isEmpty())
        err << offsets.problems << '\n';

    station::SenderChoice sender{waybill::Address{}, {}, {}};
    if (!request.noSender && !request.senderFromBuyer) {
        sender = station::chooseSender(station, request.senderName, request.lockWaitMs);
        if (!sender.address) {
            err << sender.problem << '\n';
            return done(exitCannotRun);
        }
        if (!sender.note.isEmpty())
            err << sender.note << '\n';
    }

    QSettings settings(folders.settingsFile(), QSettings::IniFormat);
    orders::SettingsMappingStore mappings(settings);
    orders::OrderList list;
    list.setMappingStore(&mappings);
    list.setConstants({*sender.address,
                       {},
                       waybill::DeliveryTime::Unspecified,
                       waybill::ArrivalNotice::Wanted,
                       request.senderFromBuyer});
    station::checkAgainstThePage(list);
    if (!list.open(request.csvPath, encoding)) {
        err << list.errorText() << '\n';
        return done(exitCannotRun);
    }
    // A list nearly a shop's would be read line by line, not by orders:
    // its waybills would not be the orders'.
    if (const QString note = list.nearlyShopNote(); !note.isEmpty()) {
        err << QStringLiteral("「%1」: %2\n何も印刷していません。\n").arg(request.csvPath, note);
        return done(exitCannotRun);
    }
    for (const QString& note : list.headingNotes())
        err << note << '\n';
    if (list.shop() && !list.missingFields().isEmpty()) {
        err << QStringLiteral("「%1」には次の項目の列がありません: %2\n"
                              "お届け先の列をすべて含めて出力し直してください。\n")
                   .arg(request.csvPath, list.missingFields().join(QStringLiteral("、")));
        return done(exitCannotRun);
    }
    if (!list.missingFields().isEmpty()) {
        err << QStringLiteral(
                   "「%1」のどの列が次の項目か分かりません: %2\n画面の「一括印刷」で列の対応を決めると、同じ見出しの一覧はこのコマンドでも印刷できます。\n")
                   .arg(request.csvPath, list.missingFields().join(QStringLiteral("、")));
        return done(exitCannotRun);
    }
    while (!list.readMore()) {
    }
    if (list.readingFailed()) {
        err << list.errorText() << '\n';
        return done(exitCannotRun);
    }
    if (const std::optional<orders::Shop> shop = list.shop())
        err << QStringLiteral("%1として読みました（%2 行、%3 件の注文）\n")
                   .arg(orders::shopName(*shop))
                   .arg(list.fileRowCount())
                   .arg(list.rowCount());
    else if (request.senderFromBuyer) {
        err << QStringLiteral("「%1」はショップの注文一覧として読めなかったため、注文者が分かりません。"
                              "--sender-from-buyer を外して、住所録のご依頼主で印刷してください。\n")
                   .arg(request.csvPath);
        return done(exitCannotRun);
    }

    const std::vector<qint64> printable = orders::rowsIn(list, orders::RowState::Printable);
    const std::vector<qint64> refusedRows = orders::rowsIn(list, orders::RowState::Refused);
    const qint64 refused = qint64(refusedRows.size());
    for (qint64 row : refusedRows)
        for (const orders::Finding& finding : list.findingsAt(row))
            err << QStringLiteral("%1 行目、%2: %3\n")
                       .arg(list.lineOf(row))
                       .arg(orders::findingPlace(list.headings(), finding), finding.reason);
    if (refused > 0 && !request.skipInvalid) {
        err << QStringLiteral("不備のある%1が %2 %3あるため、何も印刷しませんでした。直すか、--skip-invalid "
                              "で飛ばしてください。\n")
                   .arg(list.shop() ? QStringLiteral("注文") : QStringLiteral("行"))
                   .arg(refused)
                   .arg(list.shop() ? QStringLiteral("件") : QStringLiteral("行"));
        return done(exitRefused);
    }
    if (printable.empty()) {
        err << QStringLiteral("印刷できる行がありません。\n");
        return done(refused > 0 ? exitRefused : exitCannotRun);
    }

    const auto offsetsForPrint = print::PrintOffsets{float(offsets.horizontalTenthMm), float(offsets.verticalTenthMm)};
    const station::Printed printed = station::printOrderRows(run, list, printable, offsetsForPrint, request.progress,
                                                             sender.savedEntryId, firstFormNumber);
    if (!printed.delivery.ok) {
        err << printed.delivery.message << QStringLiteral("\nどの行も印刷されていません。\n");
        return done(exitCannotRun);
    }
    if (!printed.notice.isEmpty())
        err << printed.notice << '\n';
    out << QStringLiteral("%1 件を %2 に印刷しました。\n")
               .arg(printed.delivery.pages)
               .arg(printed.delivery.destination);
    // Which form each order went on, one line each: 行 注文番号 伝票番号.
    for (qsizetype i = 0; i < printed.formNumbers.size() && i < qsizetype(printable.size()); ++i)
        out << QStringLiteral("%1 行目\t%2\t%3\n")
                   .arg(list.lineOf(printable[size_t(i)]))
                   .arg(list.orderNumberAt(printable[size_t(i)]), printed.formNumbers[i].display());
    return done(refused > 0 ? exitRefused : exitOk);
}

} // namespace cli
