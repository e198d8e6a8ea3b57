// quillmark_fault_helper settings|batch|batch-self|batch-upgraded PATH:
// writes a settings file or a batch file the way the window's actions do, so
// that the fault tests can run those writes under a failing file system,
// under other locales and users, and interrupt them. "batch-self" names
// this program in the batch line; "batch-upgraded" first replaces this
// program's file with a copy of itself, as a package upgrade does while the
// program runs. QUILLMARK_TEST_SOURCE and QUILLMARK_TEST_TARGET, when set,
// replace the record's paths (UTF-8). Exit 0, 1 with the message, or 128 +
// the signal after an interrupt.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Interrupt.h"
#include "base/Utf.h"
#include "settings/BatchFile.h"
#include "settings/SettingsFile.h"

int main(int argc, char** argv) {
    using namespace quillmark;
    if (argc != 3) return 2;
    InstallInterruptHandlers();
    const std::u16string path = NativeToUnicode(argv[2]);
    TConvertInfo info{u"C:\\in.csv", u"C:\\out.csv", 1, {0, 2}, u""};
    if (const char* source = std::getenv("QUILLMARK_TEST_SOURCE")) info.SourceFileName = Utf8ToUtf16(source);
    if (const char* target = std::getenv("QUILLMARK_TEST_TARGET")) info.TargetFileName = Utf8ToUtf16(target);
    const std::string mode = argv[1];
    try {
        if (mode == "batch-upgraded") {
            const std::filesystem::path self = ToNativePath(ApplicationExeName());
            std::filesystem::path copy = self;
            copy += ".new";
            std::filesystem::copy_file(self, copy);
            std::filesystem::rename(copy, self);
        }
        if (mode == "settings")
            WriteSettingsFile(info, path);
        else if (mode == "batch")
            WriteBatchFile(path, u"/usr/bin/quillmark", info);
        else
            WriteBatchFile(path, ApplicationExeName(), info);
    } catch (const Exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return InterruptSignal() != 0 ? 128 + InterruptSignal() : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
