#include "station/station.h"

#include "adjust/testprint.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace station {

Station::Station(const platform::Folders& folders, platform::InstanceDetector& instance, print::Destination& printer,
                 platform::DeviceFilter saveFilter)
    : m_offsets(folders, std::move(saveFilter)), m_instance(instance), m_printer(printer), m_folders(folders)
{}

Station::~Station() = default;

postal::Directory& Station::postalCodes()
{
    if (!m_postalCodes)
        m_postalCodes = std::make_unique<postal::Directory>(m_postalDataFile.isEmpty() ? postal::defaultDataFilePath()
                                                                                       : m_postalDataFile);
    return *m_postalCodes;
}

storage::Database& Station::database()
{
    if (!m_database) {
        const QString folder = m_folders.userDataFolder();
        platform::ensureFolder(folder);
        m_database = std::make_unique<storage::Database>(platform::joinPath(folder, QStringLiteral("horutea.sqlite")));
        m_database->setProblemReceiver(m_storageProblemReceiver);
    }
    return *m_database;
}

addressbook::AddressBook& Station::addressBook()
{
    if (!m_addressBook)
        m_addressBook = std::make_unique<addressbook::AddressBook>(database());
    return *m_addressBook;
}

history::History& Station::history()
{
    if (!m_history)
        m_history = std::make_unique<history::History>(database());
    return *m_history;
}

void Station::setStorageProblemReceiver(std::function<void(const storage::Problem&)> receiver)
{
    m_storageProblemReceiver = std::move(receiver);
    if (m_database)
        m_database->setProblemReceiver(m_storageProblemReceiver);
}

Station::Printed Station::printWaybills(std::span<const waybill::Waybill> waybills, print::PrintOffsets offsets,
                                        const print::Progress& progress)
{
    return printWaybills(
        int(waybills.size()), [&](int index) { return waybills[size_t(index)]; }, offsets, progress);
}

Station::Printed Station::printWaybills(int count, const WaybillSource& waybillAt, print::PrintOffsets offsets,
                                        const print::Progress& progress, const OrderNumberSource& orderNumberAt)
{
    Printed printed = deliver(
        count, [&](int index) { return print::waybillPage(waybillAt(index), offsets, m_printState); }, progress);
    if (!printed.delivery.ok)
        return printed;
    const QDateTime now = QDateTime::currentDateTime();
    QStringList leftOut;
    storage::ProblemsMet problems(database());
    const bool recorded = history().recordAll(count, [&](int i) -> std::optional<history::PrintRecord> {
        history::PrintRecord record{
            now, printed.delivery.destination, offsets.horizontalTenthMm, offsets.verticalTenthMm, std::nullopt, {}};
        try {
            record.waybill = waybillAt(i);
        } catch (const print::JobStopped& stop) {
            leftOut << stop.message;
            return std::nullopt;
        }
        if (orderNumberAt)
            if (const QString number = orderNumberAt(i); !number.isEmpty())
                record.orderNumber = number;
        return record;
    });
    const auto tell = [&](const QString& said) {
        printed.notice += (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) + said;
    };
    // A problem with the file may have been met and mended on the way (a
    // damaged file set aside and a new one begun): then the pages are in the
    // history all the same.
    if (const auto problem = problems.take())
        tell(recorded ? QStringLiteral("印刷した分は履歴に記録しました。\n\n%1").arg(problem->message)
                      : QStringLiteral("印刷はできましたが、履歴には記録されていません。\n\n%1").arg(problem->message));
    if (recorded && !leftOut.isEmpty())
        tell(QStringLiteral("印刷した後で一覧のファイルが変わったため、%1 枚を履歴に記録していません。\n%2")
                 .arg(leftOut.size())
                 .arg(leftOut.first()));
    return printed;
}

Station::Printed Station::printTestMarks(print::PrintOffsets offsets)
{
    return deliver(1, [&](int) { return adjust::testMarksPage(offsets, m_printState); }, {});
}

Station::Printed Station::deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress)
{
    Printed printed{m_printer.print(pageCount, pages, progress), {}};
    printed.notice = printed.delivery.notice;
    if (printed.delivery.ok && printed.delivery.becauseNoPrinter && !m_toldPdfFolder) {
        m_toldPdfFolder = true;
        const QString folder = QFileInfo(printed.delivery.destination).absolutePath();
        printed.notice +=
            (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) +
            QStringLiteral("プリンタが見つからないため、印刷した内容をPDFファイルとして次のフォルダに保存しました。"
                           "以後も同じフォルダに、印刷のたびに新しいファイルとして保存します。\n\n%1")
                .arg(QDir::toNativeSeparators(folder));
    }
    return printed;
}

} // namespace station
