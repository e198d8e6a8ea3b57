// Encoding detection on arbitrary bytes: every check, with random ignore
// sets; the stream form agrees with the byte form.
#include "FuzzInput.h"
#include "base/Stream.h"
#include "text/EncodeDetect.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::TInput input(data, size);
    const TIgnoreEncodes ignore = TIgnoreEncodes::FromBits(input.Byte());
    const bool samplePrefix = input.Byte() & 1;
    const std::string_view bytes = input.Rest();

    std::int32_t score = 0;
    IsSJIS(bytes, score, ignore, samplePrefix);
    IsEUC(bytes, score, ignore, samplePrefix);
    IsUTF8(bytes, score, ignore, samplePrefix);
    IsUTF7(bytes, score, ignore);
    IsJIS(bytes, ignore);
    BOMCheck(bytes, ignore);

    const std::int32_t encoding = CheckEncoding(bytes, ignore, false);
    fuzz::Check(encoding >= -1 && encoding <= 9, "encoding number out of range");
    TMemoryStream stream{std::string(bytes)};
    fuzz::Check(CheckEncoding(stream, static_cast<std::int32_t>(bytes.size()) + 1, ignore) == encoding,
                "stream form differs from byte form");
    return 0;
}
