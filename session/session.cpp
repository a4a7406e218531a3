#include "session/session.h"

#include "adjust/testprint.h"

#include <QDir>
#include <QFileInfo>

namespace session {

Session::Session(const platform::Folders& folders, platform::InstanceDetector& instance, print::Destination& printer,
                 platform::DeviceFilter saveFilter)
    : m_offsets(folders, std::move(saveFilter)), m_instance(instance), m_printer(printer)
{
}

Session::~Session() = default;

postal::Directory& Session::postalCodes()
{
    if (!m_postalCodes)
        m_postalCodes = std::make_unique<postal::Directory>(postal::defaultDataFilePath());
    return *m_postalCodes;
}

Session::Printed Session::printWaybills(std::span<const waybill::Waybill> waybills, print::PrintOffsets offsets,
                                        const print::Progress& progress)
{
    return deliver(int(waybills.size()),
                   [&](int index) { return print::waybillPage(waybills[size_t(index)], offsets, m_printState); }, progress);
}

Session::Printed Session::printTestMarks(print::PrintOffsets offsets)
{
    return deliver(1, [&](int) { return adjust::testMarksPage(offsets, m_printState); }, {});
}

Session::Printed Session::deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress)
{
    Printed printed{m_printer.print(pageCount, pages, progress), {}};
    printed.notice = printed.delivery.notice;
    if (printed.delivery.ok && printed.delivery.becauseNoPrinter && !m_toldPdfFolder) {
        m_toldPdfFolder = true;
        const QString folder = QFileInfo(printed.delivery.destination).absolutePath();
        printed.notice += (printed.notice.isEmpty() ? QString() : QStringLiteral("\n\n")) + QStringLiteral("プリンタが見つからないため、印刷した内容をPDFファイルとして次のフォルダに保存しました。"
                                        "以後も同じフォルダに、印刷のたびに新しいファイルとして保存します。\n\n%1")
                             .arg(QDir::toNativeSeparators(folder));
    }
    return printed;
}

} // namespace session
