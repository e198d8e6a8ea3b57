// --check: the report of what a conversion would do, as JSON on stdout.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <variant>

#include "base/Utf.h"
#include "cli/RunCli.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::TTempDir;
using test::WriteBytes;

// Just enough JSON to read the report back: objects, arrays, strings,
// whole numbers, true and false. Anything else fails the test.
struct TJson {
    using TObject = std::map<std::string, TJson>;
    using TArray = std::vector<TJson>;
    std::variant<std::nullptr_t, bool, long long, std::string, TArray, TObject> Value;

    const TJson& operator[](const std::string& key) const { return std::get<TObject>(Value).at(key); }
    const TJson& operator[](std::size_t index) const { return std::get<TArray>(Value).at(index); }
    std::size_t size() const { return std::get<TArray>(Value).size(); }
    long long Number() const { return std::get<long long>(Value); }
    const std::string& String() const { return std::get<std::string>(Value); }
    bool Bool() const { return std::get<bool>(Value); }
};

class TJsonReader {
  public:
    explicit TJsonReader(std::string_view text) : FText(text) {}

    TJson ReadDocument() {
        TJson value = Read();
        Skip();
        if (FAt != FText.size()) throw std::runtime_error("text after the value");
        return value;
    }

  private:
    void Skip() {
        while (FAt < FText.size() && std::string_view(" \t\r\n").find(FText[FAt]) != std::string_view::npos)
            ++FAt;
    }
    char Next() {
        if (FAt == FText.size()) throw std::runtime_error("unexpected end");
        return FText[FAt++];
    }
    void Expect(char wanted) {
        Skip();
        if (Next() != wanted) throw std::runtime_error(std::string("expected ") + wanted);
    }
    TJson Read() {
        Skip();
        if (FAt == FText.size()) throw std::runtime_error("unexpected end");
        const char first = FText[FAt];
        if (first == '{') {
            ++FAt;
            TJson::TObject object;
            Skip();
            if (FText[FAt] == '}') return {(++FAt, object)};
            do {
                Skip();
                std::string key = ReadString();
                Expect(':');
                object.emplace(std::move(key), Read());
                Skip();
            } while (Next() == ',' || (--FAt, false));
            Expect('}');
            return {object};
        }
        if (first == '[') {
            ++FAt;
            TJson::TArray array;
            Skip();
            if (FText[FAt] == ']') return {(++FAt, array)};
            do {
                array.push_back(Read());
                Skip();
            } while (Next() == ',' || (--FAt, false));
            Expect(']');
            return {array};
        }
        if (first == '"') return {ReadString()};
        if (FText.substr(FAt, 4) == "true") return {(FAt += 4, true)};
        if (FText.substr(FAt, 5) == "false") return {(FAt += 5, false)};
        std::size_t used = 0;
        const long long number = std::stoll(std::string(FText.substr(FAt, 24)), &used);
        FAt += used;
        return {number};
    }
    std::string ReadString() {
        if (Next() != '"') throw std::runtime_error("expected a string");
        std::string text;
        for (char c = Next(); c != '"'; c = Next()) {
            if (static_cast<unsigned char>(c) < 0x20) throw std::runtime_error("raw control character");
            if (c != '\\') {
                text.push_back(c);
                continue;
            }
            switch (const char escaped = Next()) {
                case 'n':
                    text.push_back('\n');
                    break;
                case 't':
                    text.push_back('\t');
                    break;
                case 'u': {
                    const std::u16string unit{
                        static_cast<char16_t>(std::stoi(std::string(FText.substr(FAt, 4)), nullptr, 16))};
                    FAt += 4;
                    text += Utf16ToUtf8(unit);
                    break;
                }
                default:
                    text.push_back(escaped);
            }
        }
        return text;
    }

    std::string_view FText;
    std::size_t FAt = 0;
};

class CheckCli : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> arguments) {
        out.str("");
        err.str("");
        return RunCli(arguments, out, err);
    }
    std::string Path(const std::string& name) const { return (folder / name).string(); }
    TJson Report() const { return TJsonReader(out.str()).ReadDocument(); }

    TTempDir folder;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(CheckCli, ReportsASettingsFileWithSwitchesLaidOverIt) {
    // UTF-8: Shift_JIS could not hold 𠮷 and 😀.
    WriteBytes(folder / "in.csv",
               Utf16ToUtf8(u"名前,氏名,店\r\n1,\"山田, 太郎\",𠮷野家😀\r\n2,\"x\ny\",\"\"\"z\"\r\n"));
    WriteBytes(folder / "job.qmk", "[FILE]\r\nSOURCE=" + Path("in.csv") + "\r\nTARGET=" + Path("out.csv") +
                                       "\r\nENCODING=1\r\n[CSV]\r\nCOL=0\r\n");
    ASSERT_EQ(Run({"--check", Path("job.qmk"), "/encoding:0", "/auto"}), kExitSuccess) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(folder.Listing(), "in.csv job.qmk") << "nothing written";

    const TJson report = Report();
    EXPECT_EQ(report["encoding"].String(), "UTF-8");
    EXPECT_EQ(report["codePage"].Number(), 65001);
    EXPECT_EQ(report["rows"].Number(), 3);
    EXPECT_EQ(report["columns"].Number(), 3);
    EXPECT_EQ(report["lossyCharacters"].Number(), 2) << "ANSI (932) cannot hold 𠮷 and 😀";
    const TJson& columns = report["columnsReport"];
    ASSERT_EQ(columns.size(), 3u);
    const std::vector<std::tuple<std::string, std::string, bool, long long>> expected = {
        {"A", "名前", true, 0}, {"B", "氏名", false, 2}, {"C", "店", false, 1}};
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(columns[k]["index"].Number(), static_cast<long long>(k));
        EXPECT_EQ(columns[k]["letters"].String(), std::get<0>(expected[k]));
        EXPECT_EQ(columns[k]["label"].String(), std::get<1>(expected[k]));
        EXPECT_EQ(columns[k]["quoted"].Bool(), std::get<2>(expected[k]));
        EXPECT_EQ(columns[k]["breakingFields"].Number(), std::get<3>(expected[k]));
    }

    ASSERT_EQ(Run({"--check", Path("job.qmk"), "/quote:1,2"}), kExitSuccess);
    EXPECT_EQ(Report()["lossyCharacters"].Number(), 0) << "UTF-8 from the settings file";
    EXPECT_TRUE(Report()["columnsReport"][0]["quoted"].Bool()) << "switches add ticks, never remove one";
    EXPECT_TRUE(Report()["columnsReport"][1]["quoted"].Bool());
    EXPECT_EQ(Report()["columnsReport"][1]["breakingFields"].Number(), 2) << "counted ticked or not";
}

TEST_F(CheckCli, DetectedEncodingOfAShiftJisSource) {
    WriteBytes(folder / "in.csv", "\x96\xBC\x91\x4F,\"\x8F\x5A\x8F\x8A\r\n\x93\x8C\x8B\x9E\"\r\n");
    ASSERT_EQ(Run({"--check", "/source:" + Path("in.csv")}), kExitSuccess) << err.str();
    EXPECT_EQ(out.str(),
              "{\"encoding\": \"Shift_JIS\", \"codePage\": 932, \"rows\": 1, \"columns\": 2, "
              "\"lossyCharacters\": 0, \"columnsReport\": [{\"index\": 0, \"letters\": \"A\", \"label\": "
              "\"名前\", \"quoted\": false, \"breakingFields\": 0}, {\"index\": 1, \"letters\": \"B\", "
              "\"label\": \"住所\\n東京\", \"quoted\": false, \"breakingFields\": 1}]}\n");
}

TEST_F(CheckCli, HelpDescribesIt) {
    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_NE(out.str().find("  --check "), std::string::npos);
}

TEST_F(CheckCli, FailuresAndTheirExitStatuses) {
    EXPECT_EQ(Run({"--check", "/source:" + Path("gone.csv")}), kExitFailure);
    EXPECT_EQ(err.str(), "変換元CSVファイルが見つかりません。\n");
    EXPECT_EQ(Run({"--check"}), kExitFailure) << "no source at all";
    EXPECT_EQ(err.str(), "変換元CSVファイルが見つかりません。\n");
    const test::TUnixSocket socket(folder / "socket.csv");
    EXPECT_EQ(Run({"--check", "/source:" + Path("socket.csv")}), kExitFailure);
    EXPECT_EQ(err.str(), "CSVファイルの読み込みに失敗しました。\n");
    WriteBytes(folder / "in.csv", "a\n");
    EXPECT_EQ(Run({"--check", "/source:" + Path("in.csv"), "a|b"}), kExitBadCommand);
    EXPECT_EQ(err.str(), "ファイル名に無効な文字が含まれています\n");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace quillmark
