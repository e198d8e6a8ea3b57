#include "model/FormMainModel.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "csv/ColumnLetters.h"
#include "csv/ConvertCsvFile.h"
#include "csv/CsvFileReader.h"
#include "settings/BatchFile.h"
#include "settings/FileName.h"
#include "settings/SettingsFile.h"

namespace quillmark {

TFormMainModel::TFormMainModel(IUserInterface& ui) : FUi(ui) {}

void TFormMainModel::SetEncodingIndex(std::int32_t index) {
    FEncodingIndex = index >= 0 && static_cast<std::size_t>(index) < kEncodingNames.size() ? index : -1;
}

const std::vector<TColumnEntry>& TFormMainModel::Columns() const {
    ReadPendingColumns();
    return FColumns;
}

void TFormMainModel::SetColumnChecked(std::size_t index, bool checked) {
    ReadPendingColumns();
    if (index < FColumns.size()) FColumns[index].Checked = checked;
}

void TFormMainModel::ResetForm() {
    FSourceFileName.clear();
    FTargetFileName.clear();
    FEncodingIndex = kEncodingAnsi;
    UncheckAll();
}

bool TFormMainModel::LoadCsvColumns(const std::u16string& path) {
    FColumnsPending = false;
    FPendingTicks.clear();
    FColumnsPath = path;
    ++FColumnsGeneration;
    if (!FColumnsOnDemand) return ReadCsvColumns(path);
    FColumns.clear();
    if (!FileExists(path)) return false;
    try {
        DetectCsvFileCodePage(path);
    } catch (...) {
        FUi.ShowWarning(messages::CsvReadFailed);
        return false;
    }
    FColumnsPending = true;
    return true;
}

bool TFormMainModel::ReadCsvColumns(const std::u16string& path) const {
    // Emptied first: a window that shows the model as the cursor appears
    // shows no columns of the previous source beside the new path.
    FColumns.clear();
    TCursorHourGlassRef cursor = FUi.CreateCursorHourGlass();
    if (!FileExists(path)) return false;
    // Only the first row and the width of the widest are needed: the file is
    // streamed, not held.
    TCsvShape shape;
    if (!ReadCsvShape(path, shape, FUi.Progress())) {
        FUi.ShowWarning(messages::CsvReadFailed);
        return false;
    }
    FColumns.reserve(shape.FirstRow.size());
    for (std::size_t i = 0; i < shape.FirstRow.size(); ++i) {
        const auto column = static_cast<std::int32_t>(std::min<std::size_t>(i, INT32_MAX));
        FColumns.push_back(
            {Format(messages::ColumnLabelPattern, {GetColumnLetters(column), shape.FirstRow[i]}), false});
    }
    return true;
}

void TFormMainModel::ReadPendingColumns() const {
    if (!FColumnsPending) return;
    FColumnsPending = false;
    ReadCsvColumns(FColumnsPath);
    for (std::int32_t column : FPendingTicks) {
        if (static_cast<std::size_t>(column) >= FColumns.size()) break;
        FColumns[column].Checked = true;
    }
}

void TFormMainModel::CheckCsvColumns(const TColumnSet& columns) {
    for (std::int32_t column : columns) {
        if (column < 0) break;
        if (FColumnsPending) {
            FPendingTicks.insert(FPendingTicks.end(), column);
            continue;
        }
        if (static_cast<std::size_t>(column) >= FColumns.size()) break;
        FColumns[column].Checked = true;
    }
}

TColumnSet TFormMainModel::GetQuoteColumns() const {
    if (FColumnsPending) return FPendingTicks;
    TColumnSet columns;
    for (std::size_t i = 0; i < FColumns.size(); ++i) {
        if (FColumns[i].Checked) columns.insert(columns.end(), static_cast<std::int32_t>(i));
    }
    return columns;
}

void TFormMainModel::CheckAll() {
    ReadPendingColumns();
    for (TColumnEntry& entry : FColumns)
        entry.Checked = true;
}

void TFormMainModel::UncheckAll() {
    FPendingTicks.clear();
    for (TColumnEntry& entry : FColumns)
        entry.Checked = false;
}

TConvertInfo TFormMainModel::GetConvertInfo() const {
    return {FSourceFileName, FTargetFileName, FEncodingIndex, GetQuoteColumns(), {}};
}

bool TFormMainModel::SetConvertInfo(const TConvertInfo& info) {
    bool result = true;
    if (info.SourceGiven()) {
        FSourceFileName = info.SourceFileName;
        if (IsPathTooLong(info.SourceFileName)) {
            // No file can have such a name: the system's word for it, not "not found".
            FUi.ShowWarning(Format(messages::OpenErrorPattern, {info.SourceFileName, PathTooLongText()}));
            result = false;
        } else {
            result = FileExists(info.SourceFileName) && LoadCsvColumns(info.SourceFileName);
        }
    }
    if (info.TargetGiven()) FTargetFileName = info.TargetFileName;
    if (info.EncodingGiven()) SetEncodingIndex(info.Encoding);
    if (info.ColumnsGiven()) CheckCsvColumns(info.QuoteColumns);
    return result;
}

void TFormMainModel::ConvertCsvFile() {
    const auto start = std::chrono::steady_clock::now();
    quillmark::ConvertCsvFile(FSourceFileName, GetQuoteColumns(), FEncodingIndex, FTargetFileName,
                              FUi.Progress());
    FLastConversionSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool TFormMainModel::SaveToCsv() {
    TCursorHourGlassRef cursor = FUi.CreateCursorHourGlass();
    try {
        ConvertCsvFile();
    } catch (const EAbort&) {
        return false;
    } catch (const Exception& error) {
        cursor.reset();
        FUi.ShowWarning(error.Message());
        return false;
    }
    FUi.ShowInformation(messages::CsvSaved);
    return true;
}

bool TFormMainModel::OpenSettingsFile(const std::u16string& path) {
    TCursorHourGlassRef cursor = FUi.CreateCursorHourGlass();
    try {
        const TConvertInfo info = ReadSettingsFile(path);
        FSettingsFileName = path;
        SetConvertInfo(info);
    } catch (const EAbort&) {
        throw;  // cancelled by the user: no failure to report here
    } catch (const Exception& error) {
        FUi.ShowWarning(error.Message());
        return false;
    }
    return true;
}

void TFormMainModel::FileNew() {
    FSettingsFileName.clear();
    ResetForm();
}

bool TFormMainModel::OpenFromIni(const std::u16string& path) {
    ResetForm();
    return OpenSettingsFile(path);
}

bool TFormMainModel::SaveToIni(const std::u16string& path) {
    try {
        WriteSettingsFile(GetConvertInfo(), path);
        FSettingsFileName = path;
    } catch (const Exception& error) {
        FUi.ShowWarning(error.Message());
        return false;
    }
    return true;
}

bool TFormMainModel::SaveToBat(const std::u16string& path, std::u16string_view programPath) {
    TCursorHourGlassRef cursor = FUi.CreateCursorHourGlass();
    try {
        WriteBatchFile(path, programPath, GetConvertInfo());
    } catch (const Exception& error) {
        FUi.ShowWarning(error.Message());
        return false;
    }
    FUi.ShowInformation(messages::BatchSaved);
    return true;
}

bool TFormMainModel::DropFiles(const std::vector<std::u16string>& paths) {
    for (const std::u16string& path : paths) {
        bool qualifies = false;
        try {
            qualifies = FileExists(path) && IsSettingsFileName(path);
        } catch (const EArgumentException&) {
            // A name no path can hold is skipped like any other stranger.
        }
        if (qualifies) return OpenSettingsFile(path);
    }
    return false;
}

bool TFormMainModel::OpenFile(const std::u16string& path) {
    bool settings = false;
    try {
        settings = FileExists(path) && IsSettingsFileName(path);
    } catch (const EArgumentException&) {
        // No settings file has such a name; it goes into the source box.
    }
    if (settings) return OpenSettingsFile(path);
    FSourceFileName = path;
    return LoadCsvColumns(path);
}

std::u16string TFormMainModel::SettingsDialogFolder() const {
    return FSettingsFileName.empty() ? std::u16string() : ExtractFileDir(FSettingsFileName);
}

std::u16string TFormMainModel::SettingsDialogFileName() const {
    return FSettingsFileName.empty() ? std::u16string() : ExtractFileName(FSettingsFileName);
}

TFirstIdleResult TFormMainModel::FirstIdle(const TArguments& arguments, bool autoRun) {
    if (arguments.empty()) return TFirstIdleResult::NoArguments;
    TCursorHourGlassRef cursor = FUi.CreateCursorHourGlass();
    const TConvertInfo info = ParseCommandLine(arguments);
    // A settings file that cannot be read has been reported; the switches
    // still apply.
    if (info.SettingsFileGiven()) OpenSettingsFile(info.SettingsFileName);
    if (!SetConvertInfo(info)) {
        return FileExists(info.SourceFileName) || IsPathTooLong(info.SourceFileName)
                   ? TFirstIdleResult::SourceUnreadable
                   : TFirstIdleResult::SourceMissing;
    }
    if (!autoRun && !FindCmdLineSwitch(arguments, u"auto")) return TFirstIdleResult::Applied;
    try {
        ConvertCsvFile();
    } catch (const EAbort&) {
        return TFirstIdleResult::ConversionFailed;
    } catch (const Exception& error) {
        FUi.ShowWarning(error.Message());
        return TFirstIdleResult::ConversionFailed;
    }
    return TFirstIdleResult::Converted;
}

}  // namespace quillmark
