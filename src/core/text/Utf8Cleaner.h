#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// Turns UTF-8 bytes, piece by piece, into the UTF-8 form of the text that
// decoding them as code page 65001 gives, without U+0080 (a unit the CSV
// machine drops anyway): ill-formed sequences become EF BF BD exactly where
// the decoder puts U+FFFD. Well-formed pieces pass unchanged and cheaply.
class TUtf8Cleaner {
  public:
    // With `structureOnly`, only U+0080 is taken out and ill-formed bytes
    // stay as they are: enough where only the places of the CSV machine's
    // stores matter, since no ill-formed sequence swallows or yields a
    // seven-bit byte.
    explicit TUtf8Cleaner(bool structureOnly = false) : FStructureOnly(structureOnly) {}

    // The clean form of `bytes`: `bytes` themselves (less a character cut
    // by the end of the piece) when they are clean already, else text the
    // cleaner holds until its next call. A character cut by the end of a
    // piece is completed by the next; `last` marks the final piece.
    std::string_view Clean(std::string_view bytes, bool last);
    // The same, appended to `out`.
    void Clean(std::string_view bytes, bool last, std::string& out) { out.append(Clean(bytes, last)); }

    // Takes out only U+0080 from the next piece on, unless the start of a
    // character is held back (it is finished exactly first, and the cleaner
    // can be let go after a later piece).
    void LetGo() {
        if (FCarry.empty()) FStructureOnly = true;
    }

  private:
    std::string_view DropU0080(std::string_view bytes, bool last);

    bool FStructureOnly;
    std::string FCarry;  // the start of a character cut by the end of a piece
    std::string FJoined;
    std::string FClean;
};

// True when `bytes` are well-formed UTF-8 without U+0080 (C2 80).
bool IsCleanUtf8(std::string_view bytes);

}  // namespace quillmark
