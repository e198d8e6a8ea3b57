// quillmark_text_sample SAMPLE ENCODING EXPECTED: the sample file must be
// detected as ENCODING (a number of CheckEncoding) and load as the text of
// the UTF-8 file EXPECTED, or with EXPECTED "-" as its own bytes widened one
// by one. Exits with 0 when both hold.
#include <iostream>
#include <string>

#include "base/FileSystem.h"
#include "base/Utf.h"
#include "support/Platform.h"
#include "support/TestFiles.h"
#include "text/EncodeDetect.h"
#include "text/TextLoader.h"

int main(int argc, char** argv) {
    using namespace quillmark;
    if (argc != 4) return 2;
    try {
        TFileStream stream(FromNativePath(argv[1]));
        const std::int32_t detected = CheckEncoding(stream, kDetectionSampleSize);
        // Skipped (77) where the system cannot convert the sample's encoding.
        const TCodePage codePage = EncodingToCodePage(std::stoi(argv[2]));
        if (IsJisFamilyCodePage(codePage) && !test::SystemConverts(codePage)) return 77;
        const std::u16string text = StreamToText(stream);
        const std::string expected = argv[3];
        const bool textMatches = text == (expected == "-" ? MecsStretchElement(test::ReadBytes(argv[1]))
                                                          : Utf8ToUtf16(test::ReadBytes(expected)));
        std::cerr << argv[1] << ": detected " << detected << " (expected " << argv[2] << "), text "
                  << (textMatches ? "as expected" : "differs:\n" + Utf16ToUtf8(text)) << '\n';
        return detected == std::stoi(argv[2]) && textMatches ? 0 : 1;
    } catch (const std::exception& error) {
        std::cerr << argv[1] << ": " << error.what() << '\n';
        return 1;
    }
}
