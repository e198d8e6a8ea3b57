#!/bin/sh
# tests/win32/installer-test.sh SETUP.EXE WORK: installs Quillmark silently
# into a fresh Wine prefix under WORK, converts a file with the installed
# program and "/auto", uninstalls silently and checks that every file and
# registry entry the installer made is gone. Needs a display (Xvfb).
set -eu
setup=$(realpath "$1")
work=$(realpath -m "$2")
rm -rf "$work"
mkdir -p "$work/home" "$work/files"
# Everything Wine writes stays under WORK: its prefix, and a home folder of
# its own for anything that would go to the user's; the menu builder, which
# writes desktop entries for Start-menu shortcuts and file types, is off.
WINEPREFIX="$work/prefix"
HOME="$work/home"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX HOME WINEDEBUG WINEDLLOVERRIDES
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

wineboot --init >/dev/null 2>&1 || true
wineserver -w
user_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
programs="$user_dir/AppData/Local/Programs/Quillmark"
start_menu="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
list_files() { find "$WINEPREFIX/drive_c" -path '*/Temp' -prune -o -print | sort; }
list_files >"$work/before.txt"

wine "$setup" /S
wineserver -w

for file in quillmark.exe quillmark-cli.exe quillmark.chm uninstall.exe; do
    [ -f "$programs/$file" ] || fail "the installer did not write $file"
done
[ -f "$start_menu/Quillmark.lnk" ] || fail "no Start-menu entry"
key_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark'
[ "$(key_value "$uninstall" DisplayVersion)" = "0.1.2" ] || fail "installed-programs entry: wrong DisplayVersion"
[ "$(key_value "$uninstall" Publisher)" = "The Quillmark authors" ] || fail "installed-programs entry: wrong Publisher"
[ -n "$(key_value "$uninstall" DisplayIcon)" ] || fail "installed-programs entry: no DisplayIcon"
wine reg query 'HKCU\Software\Classes\.qmk' >"$work/qmk.txt" 2>&1 || fail "no .qmk file type"
grep -q "Quillmark.Settings" "$work/qmk.txt" || fail ".qmk is not Quillmark.Settings"
wine reg query 'HKCU\Software\Classes\Quillmark.Settings\shell\open\command' 2>/dev/null | grep -q 'quillmark.exe" "%1"' ||
    fail "the .qmk type does not open in quillmark.exe"

# The installed program converts a file.
printf 'a,b,c\r\n1,2,3\r\n' >"$work/files/in.csv"
status=0
(cd "$work/files" && wine "$programs/quillmark.exe" /source:in.csv /target:out.csv /quote:0,2 /auto) || status=$?
[ "$status" -eq 0 ] || fail "quillmark.exe /auto exited with $status"
[ "$(od -An -c "$work/files/out.csv" 2>/dev/null | tr -s ' \n' ' ')" = \
  "$(printf '"a",b,"c"\r\n"1",2,"3"\r\n' | od -An -c | tr -s ' \n' ' ')" ] || fail "wrong bytes from the installed program"

wine "$programs/uninstall.exe" /S
wineserver -w
# The uninstaller runs from a copy in the temporary folder; wait for it.
sleep 2
wineserver -w
[ ! -e "$programs" ] || fail "the program folder is still there: $(ls "$programs" | tr '\n' ' ')"
[ ! -e "$start_menu/Quillmark.lnk" ] || fail "the Start-menu entry is still there"
for key in 'HKCU\Software\Classes\.qmk' 'HKCU\Software\Classes\Quillmark.Settings' "$uninstall"; do
    if wine reg query "$key" >/dev/null 2>&1; then fail "registry key left: $key"; fi
done
grep -qi 'quillmark' "$WINEPREFIX/user.reg" && fail "user.reg still names Quillmark"
list_files >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >"$work/diff.txt" || fail "files differ from before the install: $(cat "$work/diff.txt")"
wineserver -k 2>/dev/null || true
if [ "$failures" -eq 0 ]; then
    echo "installer test passed" >&2
    rm -rf "$work"
fi
exit "$failures"
