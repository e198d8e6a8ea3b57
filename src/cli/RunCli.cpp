#include "cli/RunCli.h"

#include <algorithm>
#include <cerrno>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Interrupt.h"
#include "base/Messages.h"
#include "base/Utf.h"
#include "csv/CsvCheck.h"
#include "model/FormMainModel.h"

namespace quillmark {
namespace {

constexpr const char* kUsage =
    "使い方: quillmark-cli [/source:変換元CSV] [/target:変換先CSV] [/encoding:N] [/quote:列,...] "
    "[設定ファイル.QMK] [/auto]\n"
    "\n"
    "変換元CSVファイルを読み、指定した列のすべてのフィールドを二重引用符で囲んで変換先CSVファイルに書きます。"
    "\n"
    "引数はデスクトップ版 quillmark と同じです。コンソール版は常に変換します（/auto は省略できます）。\n"
    "\n"
    "  /source:PATH     変換元CSVファイル（文字コードは自動判定）\n"
    "  /target:PATH     変換先CSVファイル\n"
    "  /encoding:N      変換先の文字コード: 0 = ANSI（システムのコードページ）, 1 = UTF-8\n"
    "  /quote:LIST      二重引用符をつける列の番号（0 から数える）, 例: /quote:0,2\n"
    "  FILE.QMK         設定ファイル。スイッチで指定した値はその値より優先されます\n"
    "  --list-columns   変換せずに、変換元CSVファイルの列を番号つきで表示します\n"
    "  --check          変換せずに、引用符で囲まずに書くと壊れるフィールド（カンマ・改行・先頭の\n"
    "                   二重引用符を含むもの。チェックした列のものも数えます）と \"?\" などに置き\n"
    "                   換わる文字を数え、検出した文字コード・行数・列数とともに JSON で表示します\n"
    "                   （/target: は不要）\n"
    "  --help           この説明を表示します\n"
    "  --version        バージョンを表示します\n"
    "\n"
    "終了コード: 0 = 成功, 1 = 変換に失敗, 2 = コマンドラインの誤り\n";

// Messages go to the error stream; there is no cursor to show.
class TConsoleUserInterface final : public IUserInterface {
  public:
    explicit TConsoleUserInterface(std::ostream& err) : FErr(err) {}

    void ShowWarning(std::u16string_view message) override { FErr << Utf16ToUtf8(message) << '\n'; }
    void ShowInformation(std::u16string_view message) override { FErr << Utf16ToUtf8(message) << '\n'; }
    TCursorHourGlassRef CreateCursorHourGlass() override { return nullptr; }
    // Reading the column list stops at Ctrl+C as a conversion does.
    TProgressCallback Progress() override {
        return [](std::uint64_t, std::uint64_t) { CheckInterrupt(); };
    }

  private:
    std::ostream& FErr;
};

bool HasArgument(const std::vector<std::string>& arguments, const char* wanted) {
    return std::find(arguments.begin(), arguments.end(), wanted) != arguments.end();
}

// The check of the settings the model holds, as JSON on `out`.
// `progress` may stop it with EAbort (Ctrl+C): status 1, nothing printed.
int PrintCheck(const TFormMainModel& model, const TProgressCallback& progress, std::ostream& out,
               std::ostream& err) {
    TCsvCheck report;
    try {
        if (!CheckCsvFile(model.SourceFileName(), model.GetQuoteColumns(), model.EncodingIndex(), report,
                          progress)) {
            err << Utf16ToUtf8(messages::CsvReadFailed) << '\n';
            return kExitFailure;
        }
    } catch (const EAbort&) {
        return kExitFailure;
    }
    out << FormatCheckJson(report);
    return kExitSuccess;
}

// `status`, or a failure when what went to `out` could not all be written
// (a closed output, a pipe closed early, a full disk): a script must not
// take a cut list or report for a whole one.
int Flushed(std::ostream& out, std::ostream& err, int status) {
    errno = 0;
    out.flush();
    if (out || status != kExitSuccess) return status;
    const int error = errno;
    err << "標準出力に書き込めません。" << (error != 0 ? Utf16ToUtf8(SystemErrorText(error)) : std::string())
        << '\n';
    return kExitFailure;
}

// The run, its output not yet flushed.
int RunOnce(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) {
        err << kUsage;
        return kExitBadCommand;
    }
    if (HasArgument(arguments, "--help")) {
        out << kUsage;
        return kExitSuccess;
    }
    if (HasArgument(arguments, "--version")) {
        out << "quillmark-cli " << QUILLMARK_VERSION << '\n';
        return kExitSuccess;
    }

    const bool listColumns = HasArgument(arguments, "--list-columns");
    const bool check = HasArgument(arguments, "--check");
    TArguments unicodeArguments;
    for (const std::string& argument : arguments) {
        TArguments one{NativeToUnicode(argument)};
        // Listing the columns and checking never convert.
        if ((listColumns || check) && FindCmdLineSwitch(one, u"auto")) continue;
        unicodeArguments.push_back(one.front());
    }

    TConsoleUserInterface ui(err);
    TFormMainModel model(ui);
    // A conversion needs no column list, nor does the check, which reads
    // the file itself; the list must be read to be shown.
    model.SetColumnsOnDemand(!listColumns);
    TFirstIdleResult result;
    try {
        result = model.FirstIdle(unicodeArguments, !listColumns && !check);
    } catch (const EArgumentException& error) {
        err << error.what() << '\n';
        return kExitBadCommand;
    } catch (const EAbort&) {
        // Stopped from outside; the caller reports the signal.
        return kExitFailure;
    } catch (const std::exception& error) {
        err << error.what() << '\n';
        return kExitFailure;
    }

    if ((listColumns || check) &&
        (result == TFirstIdleResult::Applied || result == TFirstIdleResult::NoArguments)) {
        // Without a source there is nothing to list or check.
        if (!FileExists(model.SourceFileName())) {
            err << Utf16ToUtf8(messages::SourceNotFound) << '\n';
            return kExitFailure;
        }
        if (check) return PrintCheck(model, ui.Progress(), out, err);
        // The column list as the window shows it, with the numbers "/quote:" takes.
        for (std::size_t column = 0; column < model.Columns().size(); ++column)
            out << column << '\t' << Utf16ToUtf8(model.Columns()[column].Label) << '\n';
        return kExitSuccess;
    }
    switch (result) {
        case TFirstIdleResult::Converted:
        case TFirstIdleResult::NoArguments:
        case TFirstIdleResult::Applied:
            return kExitSuccess;
        case TFirstIdleResult::SourceMissing:
            // The window shows nothing here and stays open; a console must say why it stops.
            err << Utf16ToUtf8(messages::SourceNotFound) << '\n';
            return kExitFailure;
        case TFirstIdleResult::SourceUnreadable:
        case TFirstIdleResult::ConversionFailed:
            return kExitFailure;
    }
    return kExitFailure;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    return Flushed(out, err, RunOnce(arguments, out, err));
}

}  // namespace quillmark
