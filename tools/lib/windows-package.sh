#!/usr/bin/env bash
# Makes va5vivi-<version>-win64.zip in the Windows build folder and prints its path:
# va5vivi.exe, va5vivi-cli.exe, the Qt plugins the window loads (the windows platform and the
# Windows styles), every DLL these import that the build brought (Qt's, the MinGW runtime),
# found by walking the import tables rather than by a kept list, the language files, Qt's
# Japanese texts, the README and the licence texts of Qt and pugixml.
#
#   tools/lib/windows-package.sh BUILD_WIN QT_PREFIX VERSION MINGW_DLL...
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
qt=$2
version=$3
shift 3
mingw_dlls=("$@")
name=va5vivi-$version-win64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations" "$stage/licenses"

cp "$build/gui/va5vivi.exe" "$build/cli/va5vivi-cli.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Where an imported DLL may come from; a name found in none of these is Windows' own.
search=("$qt/bin")
for dll in "${mingw_dlls[@]}"; do search+=("$(dirname "$dll")"); done
find_dll() {
  local dir
  for dir in "${search[@]}"; do
    # Import tables name DLLs in any letter case.
    local hit
    hit=$(find "$dir" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null)
    [[ -n "$hit" ]] && { printf '%s' "$hit"; return 0; }
  done
  return 1
}
queue=("$stage/va5vivi.exe" "$stage/va5vivi-cli.exe" "$stage/platforms/qwindows.dll"
  "$stage/styles/qwindowsvistastyle.dll")
declare -A taken=()
while ((${#queue[@]})); do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r import; do
    key=${import,,}
    [[ -n "${taken[$key]:-}" ]] && continue
    taken[$key]=1
    if source=$(find_dll "$import"); then
      cp "$source" "$stage/"
      queue+=("$stage/$(basename "$source")")
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
done

cp "$root"/resources/*.lng "$stage/"
if [[ -f /usr/share/qt6/translations/qtbase_ja.qm ]]; then
  cp /usr/share/qt6/translations/qtbase_ja.qm "$stage/translations/"
fi
cp "$root/README.md" "$stage/README.md"
cp "$qt"/licenses/* "$stage/licenses/"

zip=$build/$name.zip
rm -f "$zip"
(cd "$build/package" && cmake -E tar cf "$zip" --format=zip "$name")
echo "$zip"
