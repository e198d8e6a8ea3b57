#include <algorithm>
#include <limits>
#include <memory>

#include "text/EncodeDetect.h"

namespace quillmark {

namespace {

std::int32_t EncodingOfMark(TBOMType mark) {
    switch (mark) {
        case TBOMType::btUTF8:
            return enUTF8BOM;
        case TBOMType::bt16LE:
            return enUTF16LE;
        case TBOMType::bt16BE:
            return enUTF16BE;
        case TBOMType::bt32LE:
            return enUTF32LE;
        case TBOMType::bt32BE:
            return enUTF32BE;
        case TBOMType::btNone:
            break;
    }
    return enNone;
}

struct TContentCheck {
    std::int32_t encoding;
    std::int32_t score = 0;
    bool valid = false;
};

}  // namespace

std::int32_t CheckEncoding(TBytes bytes, TIgnoreEncodes ignore, bool samplePrefix) {
    if (bytes.empty()) return enNone;
    if (const std::int32_t marked = EncodingOfMark(BOMCheck(bytes, ignore)); marked != enNone) return marked;
    if (IsJIS(bytes, ignore)) return enISO2022JP;

    TContentCheck checks[] = {{enShiftJIS}, {enEUCJP}, {enUTF8}, {enUTF7}};
    checks[0].valid = IsSJIS(bytes, checks[0].score, ignore, samplePrefix);
    checks[1].valid = IsEUC(bytes, checks[1].score, ignore, samplePrefix);
    checks[2].valid = IsUTF8(bytes, checks[2].score, ignore, samplePrefix);
    checks[3].valid = IsUTF7(bytes, checks[3].score, ignore);

    // Only a strictly highest score can win, and only if its check passed: a
    // failed top scorer is not replaced by the runner-up.
    for (const TContentCheck& check : checks) {
        const bool highest = std::all_of(
            std::begin(checks), std::end(checks),
            [&](const TContentCheck& other) { return &other == &check || other.score < check.score; });
        if (highest) return check.valid ? check.encoding : enNone;
    }
    return enNone;
}

std::int32_t CheckEncoding(TStream& stream, std::int32_t maxBytes, TIgnoreEncodes ignore) {
    const std::uint64_t size = stream.Size();
    if (size == 0) return enNone;
    stream.Seek(0);
    const std::uint64_t count = maxBytes > 0 && static_cast<std::uint64_t>(maxBytes) <= size
                                    ? static_cast<std::uint64_t>(maxBytes)
                                    : std::min<std::uint64_t>(size, std::numeric_limits<std::int32_t>::max());
    const auto sample = std::make_unique_for_overwrite<char[]>(count);
    stream.ReadBuffer(sample.get(), count);
    return CheckEncoding(TBytes(sample.get(), count), ignore, count < size);
}

}  // namespace quillmark
