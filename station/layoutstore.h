#pragma once
// The layouts a station keeps beside its settings: the built-in 「標準」 and
// the user's, one JSON file each (print/layoutfile.h) in the settings
// folder's layouts/, and which layout the forms of each printer queue take,
// in the program's settings file. A queue nobody chose a layout for takes
// 「標準」. A user's layout is known by its file's name: the store writes
// each layout to a file named after it, and a file copied in by hand is
// listed under its own file name.
#include "common/result.h"
#include "platform/files.h"
#include "print/layout.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

namespace station {

// At most this many characters: the name is also the file's.
constexpr int kMaxLayoutNameLength = 60;
// The most parcels (個数) one waybill is made out for.
constexpr int kMaxParcelCount = 999;

// Why a name cannot be a user's layout's, or nothing when it can.
std::optional<QString> layoutNameProblem(const QString& name);

class LayoutStore {
public:
    LayoutStore(QString folder, QString settingsFile);
    explicit LayoutStore(const platform::Folders& folders);

    // Where the user's layout files are.
    const QString& folder() const { return m_folder; }

    // 「標準」 first, then the user's layouts in the order of their names.
    QStringList names() const;
    bool contains(const QString& name) const;
    // The layout of that name, its file read whole; a damaged file is
    // refused with the place of the fault.
    Result<print::Layout> load(const QString& name) const;
    // Keeps the layout under its name, replacing the file of that name
    // only once the whole new one is written. 「標準」 stays as built.
    Result<void> save(const print::Layout& layout) const;
    // Deletes a user's layout. Refused for 「標準」 and for a layout a
    // queue's forms take: those would print on another layout unasked.
    Result<void> remove(const QString& name) const;
    // The layout's file, as another station imports it.
    Result<void> exportTo(const QString& name, const QString& path) const;

    // The layout the forms of `queue` take; an empty queue is a PDF file.
    QString nameForQueue(const QString& queue) const;
    Result<void> setNameForQueue(const QString& queue, const QString& name) const;
    // The queues whose forms take the layout (as the settings name them).
    QStringList queuesUsing(const QString& name) const;
    // The layout of that queue, read now.
    Result<print::Layout> layoutForQueue(const QString& queue) const;

    // The file of a user's layout; empty for 「標準」 and for a name no file has.
    QString filePathOf(const QString& name) const;

private:
    QString m_folder;
    QString m_settingsFile;
};

// A layout file read once and kept while the file stays as it was: the
// print run asks for its layout at every print.
class LayoutCache {
public:
    Result<print::Layout> load(const LayoutStore& store, const QString& name);

private:
    struct Kept {
        QString path;
        QDateTime modified;
        qint64 bytes = -1;
        print::Layout layout;
    };
    QHash<QString, Kept> m_kept;
};

} // namespace station
