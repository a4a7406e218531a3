#include "cli/commandline.h"

#include "cli/batch.h"
#include "cli/lookup.h"
#include "postal/directory.h"

#include <QCommandLineParser>

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
        "      --sender 名前      住所録のご依頼主をこの名前で使います\n"
        "      --encoding 文字コード  utf-8 または cp932（既定: 中身から判断）\n"
        "      --skip-invalid     不備のある行を飛ばして残りを印刷します\n"
        "  --lookup 郵便番号      郵便番号の住所を1件1行（都道府県、市区町村、町域をタブ区切り）で表示します。\n"
        "  --help                 この説明を表示します。\n"
        "  --version              版を表示します。\n"
        "\n"
        "終了コード: 0 すべて印刷した / 見つかった、1 不備のある行があった / 見つからない、\n"
        "2 実行できなかった（ファイルを読めない、プリンタがない、引数の誤り）。\n");
}

bool wantsCommandLine(const QStringList& arguments)
{
    for (const QString& a : arguments)
        if (a.startsWith(QLatin1Char('-')))
            return true;
    return !arguments.isEmpty();
}

int run(const QStringList& arguments, const platform::Folders& folders, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption lookup(QStringLiteral("lookup"), {}, QStringLiteral("code"));
    const QCommandLineOption batch(QStringLiteral("batch"), {}, QStringLiteral("file"));
    const QCommandLineOption printer(QStringLiteral("printer"), {}, QStringLiteral("queue"));
    const QCommandLineOption pdf(QStringLiteral("pdf"), {}, QStringLiteral("file"));
    const QCommandLineOption sender(QStringLiteral("sender"), {}, QStringLiteral("name"));
    const QCommandLineOption encoding(QStringLiteral("encoding"), {}, QStringLiteral("name"));
    const QCommandLineOption skipInvalid(QStringLiteral("skip-invalid"));
    parser.addOptions({help, version, lookup, batch, printer, pdf, sender, encoding, skipInvalid});
    auto fail = [&](const QString& why) {
        err << why << "\n\n" << usage();
        err.flush();
        return exitCannotRun;
    };
    if (!parser.parse(QStringList{QStringLiteral("horutea")} + arguments)) {
        if (!parser.unknownOptionNames().isEmpty())
            return fail(QStringLiteral("分からないオプションです: %1").arg(parser.unknownOptionNames().join(QStringLiteral(", "))));
        return fail(QStringLiteral("オプションの値がありません: %1").arg(arguments.join(QLatin1Char(' '))));
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("分からない引数です: %1").arg(parser.positionalArguments().join(QLatin1Char(' '))));
    if (parser.isSet(help)) {
        out << usage();
        out.flush();
        return exitOk;
    }
    if (parser.isSet(version)) {
        out << versionText();
        out.flush();
        return exitOk;
    }
    if (parser.isSet(lookup))
        return runLookup(parser.value(lookup), postal::defaultDataFilePath(), out, err);
    if (parser.isSet(batch)) {
        if (parser.isSet(printer) && parser.isSet(pdf))
            return fail(QStringLiteral("--printer と --pdf は一緒に使えません。"));
        BatchRequest request;
        request.csvPath = parser.value(batch);
        request.queue = parser.value(printer);
        request.pdfPath = parser.value(pdf);
        request.senderName = parser.value(sender);
        request.encoding = parser.value(encoding);
        request.skipInvalid = parser.isSet(skipInvalid);
        return runBatch(request, folders, out, err);
    }
    return fail(QStringLiteral("何をするかを指定してください。"));
}

} // namespace cli
