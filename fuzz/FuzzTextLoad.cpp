// Text loading of arbitrary bytes through every code page the detection can
// yield: the piecewise reader joins to the whole-file decoding.
#include "FuzzInput.h"
#include "base/Stream.h"
#include "text/TextLoader.h"
#include "text/TextReader.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr TCodePage kCodePages[] = {CP_SHIFT_JIS, CP_EUC_JP,   CP_ISO_2022_JP,
                                               CP_UTF16_LE,  CP_UTF16_BE, CP_UTF_8,
                                               CP_UTF32_LE,  CP_UTF32_BE, CP_NONE};
    fuzz::TInput input(data, size);
    const TCodePage codePage = kCodePages[input.Byte() % std::size(kCodePages)];
    const std::size_t pieceBytes = 1 + input.Byte() % 16;
    const std::string bytes(input.Rest());

    const std::u16string whole = BytesToText(bytes, codePage);
    TMemoryStream stream(bytes);
    TTextReader reader(stream, codePage, pieceBytes, bytes.size());
    std::u16string joined, piece;
    while (reader.Read(piece))
        joined += piece;
    fuzz::Check(joined == whole, "pieces differ from the whole text");

    TMemoryStream detected(bytes);
    StreamToText(detected);
    return 0;
}
