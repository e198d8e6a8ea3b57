// quillmark_fault_helper settings|batch PATH: writes a settings file or a
// batch file the way the window's actions do, so that the fault tests can run
// those writes under a failing file system. Exit 0, or 1 with the message.
#include <cstdio>
#include <string>

#include "base/Exception.h"
#include "base/Utf.h"
#include "settings/BatchFile.h"
#include "settings/SettingsFile.h"

int main(int argc, char** argv) {
    using namespace quillmark;
    if (argc != 3) return 2;
    const std::u16string path = NativeToUnicode(argv[2]);
    const TConvertInfo info{u"C:\\in.csv", u"C:\\out.csv", 1, {0, 2}, u""};
    try {
        if (std::string(argv[1]) == "settings")
            WriteSettingsFile(info, path);
        else
            WriteBatchFile(path, u"/usr/bin/quillmark", info);
    } catch (const Exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
