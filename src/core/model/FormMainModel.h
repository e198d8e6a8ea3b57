#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/ColumnSet.h"
#include "model/UserInterface.h"
#include "settings/CommandLine.h"
#include "settings/ConvertInfo.h"

namespace quillmark {

// An entry of the column list: "A列（見出し）" and its tick.
struct TColumnEntry {
    std::u16string Label;
    bool Checked = false;

    bool operator==(const TColumnEntry&) const = default;
};

// Entries of the encoding list, in order; the index is the encoding selector.
inline constexpr std::array<std::u16string_view, 2> kEncodingNames = {u"ANSI", u"UTF-8"};

// How the first idle moment ended.
enum class TFirstIdleResult {
    NoArguments,       // nothing to apply
    Applied,           // settings applied, no automatic run asked for
    SourceMissing,     // the command line names a source that does not exist: no run
    SourceUnreadable,  // it names one that cannot be read (already reported): no run
    Converted,         // the automatic run wrote the target
    ConversionFailed,  // the automatic run failed (already reported)
};

// The main window's settings without the window: the two paths, the
// selected encoding, the column list with its ticks and the settings file
// last used, with the operations that change them. The desktop program shows
// it in widgets, the console program runs it without any.
class TFormMainModel {
  public:
    explicit TFormMainModel(IUserInterface& ui);

    const std::u16string& SourceFileName() const { return FSourceFileName; }
    void SetSourceFileName(std::u16string_view path) { FSourceFileName = path; }
    const std::u16string& TargetFileName() const { return FTargetFileName; }
    void SetTargetFileName(std::u16string_view path) { FTargetFileName = path; }

    // -1 when no entry is selected.
    std::int32_t EncodingIndex() const { return FEncodingIndex; }
    // An index the list does not hold leaves no entry selected.
    void SetEncodingIndex(std::int32_t index);

    const std::vector<TColumnEntry>& Columns() const;
    void SetColumnChecked(std::size_t index, bool checked);

    // A conversion needs the ticks, not the column list: columns past the
    // widest row are never written, quoted or not. On demand (the console's
    // conversions), LoadCsvColumns only makes sure the file can be opened
    // and remembers it, ticks are kept as indexes, and the list is read when
    // something asks for it (Columns, SetColumnChecked, CheckAll).
    // GetQuoteColumns then gives every ticked index, also those past the
    // last column; a conversion with them writes the same target.
    void SetColumnsOnDemand(bool onDemand) { FColumnsOnDemand = onDemand; }

    const std::u16string& SettingsFileName() const { return FSettingsFileName; }

    // Empties both paths, selects "ANSI" and unticks every entry; the
    // entries stay and the settings file is not forgotten.
    void ResetForm();

    // Rebuilds the column list from the first row of a CSV file: one
    // unticked entry per column, labelled "%s列（%s）" with the column's
    // letters and its first-row value. No file: false, list empty, no
    // message. Unreadable: warning "CSVファイルの読み込みに失敗しました。",
    // false, list empty. No rows: true, list empty.
    bool LoadCsvColumns(const std::u16string& path);

    // The file the column list was last loaded from, and a number that
    // changes with every load: what a view of the file's content follows.
    const std::u16string& ColumnsFileName() const { return FColumnsPath; }
    std::uint64_t ColumnsGeneration() const { return FColumnsGeneration; }

    // Ticks the entries of the indexes in ascending order, stopping at the
    // first index below 0 or past the last entry. Never unticks.
    void CheckCsvColumns(const TColumnSet& columns);

    // The indexes of the ticked entries.
    TColumnSet GetQuoteColumns() const;

    void CheckAll();
    void UncheckAll();

    // The window's settings as a record (no settings file name).
    TConvertInfo GetConvertInfo() const;

    // Lays a record over the settings, changing only what it gives. A given
    // source goes into the source box and, when the file exists, rebuilds
    // the column list before the record's ticks are applied. False exactly
    // when the record names a source that is missing or unreadable.
    bool SetConvertInfo(const TConvertInfo& info);

    // Reads a settings file and lays it over the settings (without resetting
    // them first); remembers it as SettingsFileName. A failure is shown as a
    // warning with the error's message and leaves everything as it was.
    // A cancel (EAbort from the progress) passes through.
    bool OpenSettingsFile(const std::u16string& path);

    // The "新規作成" action: forgets the settings file and resets the form.
    void FileNew();

    // The open-settings action once its dialog gave a file: reset, then open.
    bool OpenFromIni(const std::u16string& path);

    // The save-settings action once its dialog gave a file: writes the
    // settings and remembers the file. A failure is shown as a warning and
    // SettingsFileName keeps its old value. True when written.
    bool SaveToIni(const std::u16string& path);

    // The save-batch-file action once its dialog gave a file: writes the
    // command line that repeats this conversion with `programPath` (a shell
    // script for a ".sh" name) and says "バッチファイルを保存しました。";
    // a failure is shown as a warning. True when written.
    bool SaveToBat(const std::u16string& path, std::u16string_view programPath);

    // A file opened from the file manager: an existing settings file
    // (".QMK" or ".INI") is opened as settings, anything else becomes the
    // source and its column list is read, as after the browse dialog.
    // False when nothing could be read.
    bool OpenFile(const std::u16string& path);

    // Files dropped on the window: opens the first existing settings file
    // (".QMK" or ".INI"), without resetting first. False when none qualified
    // or it could not be read.
    bool DropFiles(const std::vector<std::u16string>& paths);

    // Folder and name to start the settings-file dialogs with: those of
    // SettingsFileName, or empty.
    std::u16string SettingsDialogFolder() const;
    std::u16string SettingsDialogFileName() const;

    // The conversion run with the current settings; throws as ConvertCsvFile.
    void ConvertCsvFile();
    // How long the last conversion that wrote its target took.
    double LastConversionSeconds() const { return FLastConversionSeconds; }

    // The save-CSV action: runs the conversion and says "保存しました。", or
    // shows the failure as a warning. True when the target was written.
    bool SaveToCsv();

    // The start-up sequence: parse the arguments, open a settings file they
    // name, lay the switches over it and, when `autoRun` (or the "/auto"
    // switch) asks for it and the source could be applied, convert. A bad
    // command line throws EArgumentException before anything changes.
    TFirstIdleResult FirstIdle(const TArguments& arguments, bool autoRun = false);

  private:
    bool ReadCsvColumns(const std::u16string& path) const;
    // Reads the list LoadCsvColumns left for later, ticks included.
    void ReadPendingColumns() const;

    IUserInterface& FUi;
    std::u16string FSourceFileName;
    std::u16string FTargetFileName;
    std::int32_t FEncodingIndex = 0;
    std::u16string FSettingsFileName;
    // The column list, read when first needed in on-demand mode.
    mutable std::vector<TColumnEntry> FColumns;
    bool FColumnsOnDemand = false;
    mutable bool FColumnsPending = false;
    std::u16string FColumnsPath;
    std::uint64_t FColumnsGeneration = 0;
    double FLastConversionSeconds = 0;
    TColumnSet FPendingTicks;
};

}  // namespace quillmark
