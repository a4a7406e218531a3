#pragma once
// Japan Post's postal codes, looked up offline in the program's data file
// (data/postal/jp-postal-codes.bin, built by scripts/build-postal-data.sh).
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace postal {

// One address a postal code stands for. A code can stand for several: for
// several towns, or even for towns in two prefectures.
struct Match {
    QString prefecture;
    QString city;
    QString town; // empty where the code covers a whole city
    // Filled only for a large office's own code (大口事業所個別番号).
    QString street;
    QString officeName;

    bool isLargeOffice() const { return !officeName.isEmpty(); }
    bool operator==(const Match&) const = default;
};

enum class LookupStatus {
    Found,
    NoSuchCode,      // well formed, but Japan Post has no such code
    Malformed,       // not seven digits (with or without a hyphen)
    DataUnavailable, // the data file is missing, unreadable or damaged
};

struct LookupResult {
    LookupStatus status = LookupStatus::Malformed;
    QString code;         // seven ASCII digits, whenever the input was well formed
    QList<Match> matches; // at least one when Found, otherwise none
    QString message;      // for the user, in Japanese; empty when Found
};

// What the data file says about itself.
struct DataInfo {
    QString sourcePackage; // the npm package the file was built from
    QString packageVersion;
    QString dataDate; // date of Japan Post's data, YYYY-MM-DD
    quint32 recordCount = 0;
    quint32 codeCount = 0;
};

// The postal-code data of one file. Constructing it reads nothing; the first
// look-up opens the file, checks it whole, and keeps it open for the later
// ones, which read and check only the block of their first three digits.
// Once the file has been found missing or damaged, every later look-up gives
// the same message; a new Directory tries again. One thread only.
class Directory {
public:
    explicit Directory(QString dataFilePath);
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    LookupResult lookup(const QString& typedCode);
    // Opens the file if needed; nothing when it is unusable (see dataError()).
    std::optional<DataInfo> dataInfo();
    // Why the file cannot be used, in Japanese; empty while it can, or before
    // it has been opened.
    QString dataError() const;
    const QString& dataFilePath() const;

private:
    struct Data;
    bool open();
    QString m_path;
    std::unique_ptr<Data> m_data;
    QString m_error;
};

// The text the window can offer for address line 1: prefecture, city and
// town, and for a large office also its street.
QString addressLine1(const Match& match);

// Where the data file is (platform::dataFilePath): installed at
// ../share/horutea/postal/ beside the program's folder, else in the source
// tree this program was built from. The installed place when neither exists,
// so that messages name it.
QString defaultDataFilePath();

} // namespace postal
