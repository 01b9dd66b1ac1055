#!/usr/bin/env bash
# The 64-bit package as an administrator uses it, in a fresh Wine prefix:
# a silent install puts the files, the Start-menu entries and the Add/Remove
# Programs entry in place; the installed program installs and starts its
# services; a silent uninstall removes the services (through the program),
# the files and the entry, and keeps the gateway's data directory; an
# uninstall with its user interface deletes the data when asked to.
#   tests/package/install_test.sh PACKAGE.msi
# Prints one line per failed check and "package: N passed, M failed".
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
msi=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
export WINEPREFIX=$root/build/wineprefix-msi
wine() { "$root/tools/wine" "$@"; }
passed=0 failed=0
check() { if [ "$1" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $2"; fi; }
state() { wine sc.exe query "$1" 2>/dev/null | tr -d '\r' | sed -nE 's/^ *STATE *: *[0-9]+ *([A-Z_]+).*/\1/p'; }
uninstall_entry() {
  wine reg.exe query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:64 2>/dev/null | tr -d '\r' |
    grep -F 'Zarq SMS/MMS Gateway Lite Edition (64-bit)'
}

# A fresh prefix each time: the package meets a machine that never saw it.
/usr/lib/wine/wineserver64 -k 2>/dev/null
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock" "$WINEPREFIX.log"
wine --prepare || { echo "package: 0 passed, 1 failed"; exit 1; }

c=$WINEPREFIX/drive_c
app="$c/Program Files/ZarqSMS Lite"
# A per-machine install puts its shortcuts in the all-users Start menu;
# Wine's installer puts them in the installing user's.
menus=("$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zarq SMS Gateway"
       "$c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zarq SMS Gateway")
shortcut() { [ -f "${menus[0]}/$1" ] || [ -f "${menus[1]}/$1" ]; }
data=$c/ProgramData/ZarqSMS
files=(ZARQCFG.EXE ZARQACCT.DLL ZARQPEER.DLL ZARQLINK.DLL ZARQTLS.DLL ZARQGATESVC.EXE ZARQRELAYSVC.EXE
       ZARQPORTS.EXE OPERATORS.CSV "ZarqSMS Lite.pdf")
[ -f "$root/build/win64/bin/MMSTEST.MMS" ] && files+=(MMSTEST.MMS)

winmsi=$(wine winepath.exe -w "$msi" | tr -d '\r')
wine msiexec.exe /i "$winmsi" /qn >/dev/null
check $? "msiexec /i exits 0"
for f in "${files[@]}"; do
  cmp -s "$app/$f" "$root/build/win64/bin/$f"; check $? "installed $f is the build's"
done
shortcut "ZarqSMS Lite Configuration.lnk"; check $? "Start-menu shortcut to the program"
shortcut "ZarqSMS Lite Help.lnk"; check $? "Start-menu shortcut to the help document"
entry=$(uninstall_entry)
[ -n "$entry" ]; check $? "Add/Remove Programs entry"

# The installed program, as the wizard's Server Settings step would.
wine 'C:\Program Files\ZarqSMS Lite\ZARQCFG.EXE' -q -INSTALLSERVICE >/dev/null
check $? "installed ZARQCFG.EXE -q -INSTALLSERVICE exits 0"
declare -A exes=([ZarqSMS]=ZARQGATESVC.EXE [ZarqMMSC]=ZARQRELAYSVC.EXE)
for s in ZarqSMS ZarqMMSC; do
  for _ in $(seq 60); do [ "$(state $s)" = RUNNING ] && break; sleep 0.5; done
  [ "$(state $s)" = RUNNING ]; check $? "service $s running after the install"
  image=$(wine reg.exe query "HKLM\\System\\CurrentControlSet\\Services\\$s" /v ImagePath 2>/dev/null | tr -d '\r' |
          sed -nE 's/^ *ImagePath +REG_[A-Z_]+ +//p')
  [ -n "$image" ] && [ "$(realpath "$(wine winepath.exe -u "$image" | tr -d '\r')")" = "$(realpath "$app/${exes[$s]}")" ]
  check $? "service $s runs the installed executable"
done
[ -f "$data/SMSGW.INI" ]; check $? "the program made its data directory"
echo "kept" >"$data/operator-note.txt"

wine msiexec.exe /x "$winmsi" /qn >/dev/null
check $? "msiexec /x exits 0"
for s in ZarqSMS ZarqMMSC; do
  wine sc.exe query $s >/dev/null 2>&1
  [ $? -ne 0 ]; check $? "service $s removed by the uninstall"
done
for f in "${files[@]}"; do
  [ ! -e "$app/$f" ]; check $? "$f removed"
done
[ ! -e "$app" ]; check $? "program folder removed"
[ ! -e "${menus[0]}" ] && [ ! -e "${menus[1]}" ]; check $? "Start-menu folder removed"
[ -z "$(uninstall_entry)" ]; check $? "Add/Remove Programs entry removed"
[ -f "$data/SMSGW.INI" ] && [ -f "$data/operator-note.txt" ]; check $? "data directory kept by a silent uninstall"

# With a user interface the uninstaller lets the program ask whether the
# data directory goes too; the administrator says Yes.
wine msiexec.exe /i "$winmsi" /qn >/dev/null
check $? "msiexec /i again exits 0"
wine msiexec.exe /x "$winmsi" /qb >/dev/null &
uninstall=$!
wine "$root/build/win64/bin/package_answer_box.exe" "Zarq SMS/MMS Gateway Lite Edition (v2012.02.16)" \
  "Delete Configuration files for ZarqSMS?" 6 180 >/dev/null
check $? "an uninstall with its user interface asks \"Delete Configuration files for ZarqSMS?\""
wait $uninstall
check $? "msiexec /x /qb exits 0"
[ ! -e "$data" ]; check $? "data directory deleted on the administrator's Yes"
[ ! -e "$app" ]; check $? "program folder removed again"

/usr/lib/wine/wineserver64 -k 2>/dev/null
echo "package: $passed passed, $failed failed"
[ $failed -eq 0 ]
