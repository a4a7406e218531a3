#include "app/desktop/filedialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>

namespace desktop {

namespace {

enum Column { NameColumn, SizeColumn, KindColumn, ModifiedColumn };

// The file list's size, kind and date as a Japanese reader writes them:
// Qt writes them in the system's language, English on a machine set up in
// English, and names a file's kind by the system's descriptions.
class JapaneseFileList final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() == NameColumn)
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        switch (index.column()) {
        case SizeColumn:
            return info.isDir() ? QString()
                                : QLocale(QLocale::Japanese, QLocale::Japan)
                                      .formattedDataSize(info.size(), 1, QLocale::DataSizeTraditionalFormat);
        case KindColumn:
            if (info.isDir())
                return QStringLiteral("フォルダ");
            return info.suffix().isEmpty() ? QStringLiteral("ファイル")
                                           : QStringLiteral("%1 ファイル").arg(info.suffix().toUpper());
        case ModifiedColumn:
            return info.lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

} // namespace

void prepareFileDialog(QFileDialog& dialog)
{
    // The desktop's own dialog would show what the desktop's language says.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new JapaneseFileList(&dialog));
    auto* files = dialog.findChild<QFileSystemModel*>();
    auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!files || !list)
        return;
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    // The other columns as wide as their texts, once a folder's files are known.
    QObject::connect(files, &QFileSystemModel::directoryLoaded, list, [list] {
        for (int column : {SizeColumn, KindColumn, ModifiedColumn})
            list->resizeColumnToContents(column);
    });
}

QString openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filters)
{
    QFileDialog dialog(parent, caption, folder, filters);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    prepareFileDialog(dialog);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                   : QString();
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filters,
                     QString* chosenFilter)
{
    QFileDialog dialog(parent, caption, path, filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (chosenFilter && !chosenFilter->isEmpty())
        dialog.selectNameFilter(*chosenFilter);
    prepareFileDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (chosenFilter)
        *chosenFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().front();
}

std::optional<CsvFileToWrite> csvFileToWrite(QWidget* parent, const QString& caption, const QString& suggestedPath)
{
    const QString utf8 = QStringLiteral("CSV（UTF-8、BOM付き） (*.csv)");
    const QString cp932 = QStringLiteral("CSV（Shift_JIS／CP932） (*.csv)");
    QString chosenFilter = utf8;
    QString path = saveFileName(parent, caption, suggestedPath, utf8 + QStringLiteral(";;") + cp932, &chosenFilter);
    if (path.isEmpty())
        return std::nullopt;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    return CsvFileToWrite{path, chosenFilter == cp932 ? csv::Encoding::Cp932 : csv::Encoding::Utf8};
}

} // namespace desktop
