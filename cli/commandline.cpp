#include "cli/commandline.h"

#include "cli/batch.h"
#include "cli/lookup.h"
#include "cli/shipped.h"
#include "postal/directory.h"
#include "shipping/confirmations.h"
#include "station/movetoserver.h"
#include "station/station.h"
#include "tracking/carriers.h"

#include <QHash>

namespace cli {

QString versionText() { return QStringLiteral("horutea %1\n").arg(QStringLiteral(HORUTEA_VERSION)); }

QString usage()
{
    return QStringLiteral(
               "使い方: horutea [オプション]\n"
               "オプションなしで起動すると、送り状を入力して印刷する画面を開きます。\n"
               "\n"
               "  --batch ファイル.csv   注文一覧（CSV）の各行を送り状として、保存したズレで印刷します。\n"
               "      --printer キュー   印刷するプリンタ（既定: いつものプリンタ）\n"
               "      --pdf 出力.pdf     プリンタの代わりにPDFファイルへ印刷します\n"
               "      --sender 名前      住所録のご依頼主をこの名前で使います（既定: 最後に使ったご依頼主。\n"
               "                         住所録が使用中なら10秒まで待ちます）\n"
               "      --no-sender        ご依頼主を印刷しません（ご依頼主が印刷済みの用紙）\n"
               "      --sender-from-buyer  ご依頼主を注文ごとの注文者にします（ギフトの注文。ショップの\n"
               "                         注文一覧で、注文者の名前と住所がある場合）\n"
               "      --encoding 文字コード  utf-8 または cp932（既定: 中身から判断）\n"
               "      --skip-invalid     不備のある行を飛ばして残りを印刷します\n"
               "      --first-number 番号  最初の用紙に印刷済みの伝票番号（ハイフンや空白はあってもなくても可）。\n"
               "                         各注文にどの伝票番号が付いたかを履歴に記録します\n"
               "      --carrier 運送会社  伝票の運送会社: %1\n"
               "                         （プリンタに伝票の束を設定してあれば省けます）\n"
               "  --shipped 形式         印刷した注文の出荷情報ファイルを書き出します: %2\n"
               "      --out ファイル     書き出すファイル\n"
               "      --from 年-月-日    この日から（既定: --to の日、なければ今日）\n"
               "      --to 年-月-日      この日まで（既定: 今日）\n"
               "  --lookup 郵便番号      郵便番号の住所を1件1行（都道府県、市区町村、町域をタブ区切り）で表示します。\n"
               "  --help                 この説明を表示します。\n"
               "  --version              版を表示します。\n"
               "\n"
               "終了コード: 0 すべて印刷した / 見つかった、1 不備のある行があった / 見つからない、\n"
               "2 実行できなかった（ファイルを読めない、プリンタがない、引数の誤り、伝票番号の誤り）。\n")
        .arg(tracking::carrierTokenChoices(), shipping::formatTokenChoices());
}

bool wantsCommandLine(const QStringList& arguments)
{
    for (const QString& a : arguments)
        if (a.startsWith(QLatin1Char('-')))
            return true;
    return !arguments.isEmpty();
}

namespace {

struct OptionSpec {
    const char* name;
    char shortName;        // 0: none
    const char* valueName; // nullptr: a switch that takes no value
    const char* onlyWith;  // means something only with this command; nullptr: anywhere
};

constexpr OptionSpec kOptions[] = {
    {"help", 'h', nullptr, nullptr},
    {"version", 'v', nullptr, nullptr},
    {"lookup", 0, "郵便番号", nullptr},
    {"batch", 0, "ファイル.csv", nullptr},
    {"printer", 0, "キュー", "batch"},
    {"pdf", 0, "出力.pdf", "batch"},
    {"sender", 0, "名前", "batch"},
    {"no-sender", 0, nullptr, "batch"},
    {"encoding", 0, "utf-8 か cp932", "batch"},
    {"skip-invalid", 0, nullptr, "batch"},
    {"sender-from-buyer", 0, nullptr, "batch"},
    {"first-number", 0, "伝票番号", "batch"},
    {"carrier", 0, "運送会社", "batch"},
    {"shipped", 0, "形式", nullptr},
    {"out", 0, "ファイル", "shipped"},
    {"from", 0, "年-月-日", "shipped"},
    {"to", 0, "年-月-日", "shipped"},
    {"database", 0, "postgresql://…", nullptr},
    {"import-local", 0, nullptr, nullptr},
};

const OptionSpec* specOf(const QString& name)
{
    for (const OptionSpec& spec : kOptions)
        if (name == QLatin1String(spec.name) || (spec.shortName && name == QLatin1Char(spec.shortName)))
            return &spec;
    return nullptr;
}

QString dashed(const OptionSpec& spec) { return QStringLiteral("--") + QLatin1String(spec.name); }

// The options given, each once, with their values; or why the arguments
// cannot be taken as they stand.
struct Parsed {
    QHash<QString, QString> values; // by the option's long name; a switch has an empty value
    QString problem;
    bool has(const char* name) const { return values.contains(QLatin1String(name)); }
    QString value(const char* name) const { return values.value(QLatin1String(name)); }
};

Parsed parse(const QStringList& arguments)
{
    Parsed parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            parsed.problem =
                argument.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)
                    ? QStringLiteral(
                          "「%1」をどうするのか分かりません。注文一覧を印刷するときは --batch %1 と書いてください。")
                          .arg(argument)
                    : QStringLiteral(
                          "分からない引数です: %1（オプションの値なら、そのオプションのすぐ後に書いてください）。")
                          .arg(argument);
            return parsed;
        }
        const bool longForm = argument.startsWith(QLatin1String("--"));
        const QString body = argument.mid(longForm ? 2 : 1);
        const qsizetype equals = longForm ? body.indexOf(QLatin1Char('=')) : -1;
        const QString name = equals < 0 ? body : body.left(equals);
        const OptionSpec* spec = (longForm || name.size() == 1) ? specOf(name) : nullptr;
        if (!spec || (longForm && name.size() == 1)) {
            parsed.problem =
                QStringLiteral("分からないオプションです: %1").arg(equals < 0 ? argument : argument.left(equals + 2));
            return parsed;
        }
        const QString key = QLatin1String(spec->name);
        QString value;
        if (!spec->valueName) {
            if (equals >= 0) {
                parsed.problem =
                    QStringLiteral("%1 は値をとりません（「%2」）。「=」から後を消して %1 とだけ書いてください。")
                        .arg(dashed(*spec), body.mid(equals));
                return parsed;
            }
        } else if (equals >= 0) {
            value = body.mid(equals + 1);
        } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--"))) {
            value = arguments[++i];
        } else {
            parsed.problem = QStringLiteral("%1 の後に%2がありません。%1 %2 のように書いてください。")
                                 .arg(dashed(*spec), QString::fromUtf8(spec->valueName));
            return parsed;
        }
        if (spec->valueName && value.isEmpty()) {
            parsed.problem = QStringLiteral("%1 の%2が空です。").arg(dashed(*spec), QString::fromUtf8(spec->valueName));
            return parsed;
        }
        if (parsed.values.contains(key)) {
            parsed.problem =
                spec->valueName
                    ? QStringLiteral("%1 が2回指定されています（「%2」と「%3」）。どちらか一つにしてください。")
                          .arg(dashed(*spec), parsed.values.value(key), value)
                    : QStringLiteral("%1 が2回指定されています。1回にしてください。").arg(dashed(*spec));
            return parsed;
        }
        parsed.values.insert(key, value);
    }
    return parsed;
}

// `--import-local`: this PC's file to the server named, or to the one the
// window's 「データの保存先」 names.
int runImportLocal(const QString& databaseUrl, const platform::Folders& folders, QTextStream& out, QTextStream& err)
{
    const QString url = databaseUrl.isEmpty() ? station::storedServerUrl(folders.settingsFile()) : databaseUrl;
    if (url.isEmpty()) {
        err << QStringLiteral("移す先のサーバーが決まっていないため、取り込みは行っていません。"
                              "--database postgresql://ユーザー@ホスト:ポート/データベース "
                              "で指定してください。\n");
        err.flush();
        return exitCannotRun;
    }
    storage::Database local(station::localDatabasePath(folders));
    storage::Database server(url);
    const station::MoveReport report = station::moveToServer(local, server);
    (report.ok ? out : err) << report.message << '\n';
    out.flush();
    err.flush();
    return report.ok ? exitOk : exitCannotRun;
}

} // namespace

int run(const QStringList& arguments, const platform::Folders& folders, QTextStream& out, QTextStream& err)
{
    auto fail = [&](const QString& why) {
        err << why << QStringLiteral("\n使い方は horutea --help で表示されます。\n");
        err.flush();
        return exitCannotRun;
    };
    const Parsed parsed = parse(arguments);
    if (!parsed.problem.isEmpty())
        return fail(parsed.problem);
    if (parsed.has("help")) {
        out << usage();
        out.flush();
        return exitOk;
    }
    if (parsed.has("version")) {
        out << versionText();
        out.flush();
        return exitOk;
    }
    // Two things at once, or an option that means nothing here, is refused
    // rather than one of them quietly dropped.
    QStringList commands;
    for (const char* command : {"lookup", "batch", "shipped", "import-local"})
        if (parsed.has(command))
            commands << QStringLiteral("--") + QLatin1String(command);
    if (commands.size() > 1)
        return fail(QStringLiteral("%1 は一緒に使えません。一度に一つずつ実行してください。")
                        .arg(commands.join(QStringLiteral(" と "))));
    for (const OptionSpec& spec : kOptions)
        if (spec.onlyWith && parsed.has(spec.name) && !parsed.has(spec.onlyWith))
            return fail(QStringLiteral("%1 は --%2 と一緒に使うオプションです。")
                            .arg(dashed(spec), QLatin1String(spec.onlyWith)));
    if (parsed.has("database")) {
        if (!parsed.has("batch") && !parsed.has("shipped") && !parsed.has("import-local"))
            return fail(
                QStringLiteral("--database は --batch、--shipped か --import-local と一緒に使うオプションです。"));
        if (const auto server = storage::serverAddressFrom(parsed.value("database")); !server)
            return fail(server.error());
    }
    if (parsed.has("import-local"))
        return runImportLocal(parsed.value("database"), folders, out, err);
    if (parsed.has("lookup"))
        return runLookup(parsed.value("lookup"), postal::defaultDataFilePath(), out, err);
    if (parsed.has("batch")) {
        if (parsed.has("printer") && parsed.has("pdf"))
            return fail(QStringLiteral(
                "--printer と --pdf は一緒に使えません。プリンタに印刷するか、PDFファイルにするか、どちらかにしてください。"));
        if (parsed.has("sender") && parsed.has("no-sender"))
            return fail(QStringLiteral(
                "--sender と --no-sender は一緒に使えません。ご依頼主を印刷するなら --sender だけにしてください。"));
        for (const char* other : {"sender", "no-sender"})
            if (parsed.has("sender-from-buyer") && parsed.has(other))
                return fail(QStringLiteral("--sender-from-buyer と --%1 は一緒に使えません。ご依頼主は注文者か、"
                                           "住所録のご依頼主か、どちらかにしてください。")
                                .arg(QLatin1String(other)));
        BatchRequest request;
        request.csvPath = parsed.value("batch");
        request.queue = parsed.value("printer");
        request.pdfPath = parsed.value("pdf");
        request.senderName = parsed.value("sender");
        request.noSender = parsed.has("no-sender");
        request.senderFromBuyer = parsed.has("sender-from-buyer");
        request.encoding = parsed.value("encoding");
        request.skipInvalid = parsed.has("skip-invalid");
        request.databaseLocation = parsed.value("database");
        request.carrier = parsed.value("carrier");
        request.firstNumber = parsed.value("first-number");
        if (parsed.has("carrier") && !parsed.has("first-number"))
            return fail(QStringLiteral(
                "--carrier は --first-number と一緒に使います（最初の用紙の伝票番号を指定してください）。"));
        return runBatch(request, folders, out, err);
    }
    if (parsed.has("shipped")) {
        if (!parsed.has("out"))
            return fail(QStringLiteral("--shipped には書き出すファイルを --out ファイル で指定してください。"));
        return runShipped({parsed.value("shipped"), parsed.value("out"), parsed.value("from"), parsed.value("to"),
                           parsed.value("database")},
                          folders, out, err);
    }
    return fail(
        QStringLiteral("何をするかを指定してください（--batch ファイル.csv、--shipped 形式 か --lookup 郵便番号）。"));
}

} // namespace cli
