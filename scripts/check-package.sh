#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh made: the desktop entry
# and the AppStream data validate, lintian finds no error (its warnings are
# listed), the package holds every file an installation needs, and once
# installed the program starts headless and the command-line tools answer.
# The package is removed again unless it was installed before.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/deps.sh desktop-file-utils appstream lintian dpkg-dev file shared-mime-info xdg-utils ||
    exit 1

passed=0 failed=0
check() { # check DESCRIPTION COMMAND...: runs the command and counts the result
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "BŁĄD: $what" >&2
    fi
}

debs=(build/sonvekmanager_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "check-package: expected one build/sonvekmanager_*.deb (scripts/package.sh)" >&2
    exit 1
fi
deb=${debs[0]}
id=$(sed -n 's/^set(SONVEK_APP_ID "\(.*\)")$/\1/p' CMakeLists.txt)
tmp=$(mktemp -d)
trap 'rm -rf -- "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' >"$tmp/files"

# ---- the package's files ------------------------------------------------------
has_file() { grep -qxF -- "$1" "$tmp/files"; }
required=(
    /usr/bin/SonvekManager /usr/bin/sonvek-merge /usr/bin/sonvek-zapowiedzi /usr/bin/sonvek-zakladki
    /usr/bin/sonvek-eksport /usr/bin/sonvek-glosnosc /usr/bin/sonvek-karta /usr/bin/sonvek-import
    "/usr/share/applications/$id.desktop" "/usr/share/metainfo/$id.metainfo.xml"
    "/usr/share/icons/hicolor/scalable/apps/$id.svg" "/usr/share/icons/hicolor/48x48/apps/$id.png"
    /usr/share/sonvekmanager/pomoc.html /usr/share/mime/packages/sonvekmanager.xml
    /usr/share/doc/sonvekmanager/README.md /usr/share/doc/sonvekmanager/copyright
    /usr/share/doc/sonvekmanager/changelog.gz
)
# Every program has its manual page, in English and in Polish.
while read -r program; do
    required+=("/usr/share/man/man1/${program##*/}.1.gz" "/usr/share/man/pl/man1/${program##*/}.1.gz")
done < <(grep "^/usr/bin/." "$tmp/files")
for file in "${required[@]}"; do
    check "the package holds $file" has_file "$file"
done
check "the 48 px icon is a 48 x 48 PNG" \
    grep -q 'PNG image data, 48 x 48' <(file "$tmp/root/usr/share/icons/hicolor/48x48/apps/$id.png")

# ---- validators ----------------------------------------------------------------
check "desktop-file-validate" desktop-file-validate "$tmp/root/usr/share/applications/$id.desktop"
check "appstreamcli validate --no-net" \
    appstreamcli validate --no-net "$tmp/root/usr/share/metainfo/$id.metainfo.xml"
lintian --fail-on error --display-info "$deb" >"$tmp/lintian" 2>&1
status=$?
echo "lintian (E: error, W: warning, I: information):"
sed 's/^/    /' "$tmp/lintian"
check "lintian finds no error" test "$status" -eq 0

# ---- the project files' type ---------------------------------------------------
# A project (as the program writes it) is known by the package's MIME rule,
# a plain XML file is not claimed; first on the unpacked tree with its own
# database, then on the installed system, whose database the trigger of
# shared-mime-info updated.
# Projects as the program writes them (with and without the book's details),
# as written by hand (no declaration, a comment first); and XML files that
# only look alike: another root name, another namespace, a mention in a
# comment, a projekt element inside another root.
mkdir -p "$tmp/typy"
printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<projekt>\r\n</projekt>\r\n' >"$tmp/typy/ksiazka.xml"
printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<projekt tytul="Lalka">\r\n</projekt>\r\n' \
    >"$tmp/typy/opisana.xml"
printf '<projekt><p1/></projekt>' >"$tmp/typy/bez-deklaracji.xml"
printf '<?xml version="1.0"?>\n<!-- moja książka -->\n<projekt>\n</projekt>\n' \
    >"$tmp/typy/z-komentarzem.xml"
printf '<?xml version="1.0"?>\n<!-- <projekt> -->\n<lista/>\n' >"$tmp/typy/zwykly.xml"
printf '<?xml version="1.0"?>\n<projekty/>\n' >"$tmp/typy/projekty.xml"
printf '<?xml version="1.0"?>\n<projektor/>\n' >"$tmp/typy/projektor.xml"
printf '<?xml version="1.0"?>\n<projekt xmlns="urn:inny"/>\n' >"$tmp/typy/obca-przestrzen.xml"
printf '<?xml version="1.0"?>\n<lista>\n<!-- a -->\n<projekt/></lista>\n' >"$tmp/typy/wewnatrz.xml"
projects=(ksiazka opisana bez-deklaracji z-komentarzem)
others=(zwykly projekty projektor obca-przestrzen wewnatrz)
filetype() { # filetype DATADIR FILE TYPE: xdg-mime sees FILE as TYPE with DATADIR first
    local type
    type=$(XDG_DATA_HOME=$tmp/no-home XDG_DATA_DIRS=$1:/usr/share xdg-mime query filetype "$2")
    echo "    $2 -> $type"
    [ "$type" = "$3" ]
}
mkdir -p "$tmp/mime-tree/mime/packages"
cp "$tmp/root/usr/share/mime/packages/sonvekmanager.xml" "$tmp/mime-tree/mime/packages/"
update-mime-database "$tmp/mime-tree/mime"
for f in "${projects[@]}"; do
    check "unpacked: $f.xml is application/x-sonvek-projekt" \
        filetype "$tmp/mime-tree" "$tmp/typy/$f.xml" application/x-sonvek-projekt
done
for f in "${others[@]}"; do
    check "unpacked: $f.xml stays application/xml" \
        filetype "$tmp/mime-tree" "$tmp/typy/$f.xml" application/xml
done
check "the desktop entry lists the project type and MP3" \
    grep -qx 'MimeType=application/x-sonvek-projekt;audio/mpeg;' \
    "$tmp/root/usr/share/applications/$id.desktop"

# ---- installed ---------------------------------------------------------------------
was_installed=0
dpkg-query -W -f='${Status}' sonvekmanager 2>/dev/null | grep -q 'install ok installed' &&
    was_installed=1
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
apt_install() {
    "${sudo_cmd[@]}" apt-get install -y -qq --reinstall "./$deb" >"$tmp/apt" 2>&1 ||
        { cat "$tmp/apt" >&2 && false; }
}
check "apt-get install ./$deb" apt_install

# The settings exist, so no first-run question waits; still running after
# five seconds means the program came up and is in its event loop.
mkdir -p "$tmp/config/SonvekManager"
printf '[HKEY_CURRENT_USER\\SonvCom]\n"Karta"=""\n"Magazyn"="%s"\n"Zakladka"=dword:00001388\n' \
    "$tmp" >"$tmp/config/SonvekManager/SonvCom.reg"
starts_headless() {
    XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
        timeout 5 /usr/bin/SonvekManager
    [ $? -eq 124 ]
}
check "the installed SonvekManager starts headless" starts_headless
check "installed: a project is application/x-sonvek-projekt" \
    filetype /usr/share "$tmp/typy/ksiazka.xml" application/x-sonvek-projekt
check "installed: a plain XML file stays application/xml" \
    filetype /usr/share "$tmp/typy/zwykly.xml" application/xml
# Named on the command line, as a file manager names a project: it opens,
# and what cannot be opened is listed while the program keeps running.
starts_with_project() {
    XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
        timeout 5 /usr/bin/SonvekManager "$tmp/typy/ksiazka.xml" "$tmp/nie-ma.mp3"
    [ $? -eq 124 ] && grep -qF "$tmp/typy/ksiazka.xml" "$tmp/config/SonvekManager/SonvCom.reg"
}
check "the installed SonvekManager opens a project named on its command line" starts_with_project
answers() { # answers PROGRAM ARGS... STATUS TEXT: exits with STATUS and prints TEXT
    local out status
    out=$("${@:1:$#-2}" 2>&1)
    status=$?
    echo "    \$ ${*:1:$#-2}  ->  $status: ${out%%$'\n'*}"
    [ "$status" -eq "${*: -2:1}" ] && [[ $out == *"${*: -1}"* ]]
}
version=$(sed -n 's/^project(SonvekManager VERSION \([^ )]*\).*/\1/p' CMakeLists.txt)
for program in sonvek-merge sonvek-eksport sonvek-zapowiedzi sonvek-zakladki sonvek-glosnosc \
    sonvek-karta sonvek-import SonvekManager; do
    check "$program --version" answers "$program" --version 0 "$version"
    check "$program --help" answers "$program" --help 0 "Użycie: $program"
done
check "sonvek-merge with wrong arguments" answers sonvek-merge tylko-jeden.xml 2 "Użycie:"
check "sonvek-zakladki with no file" answers sonvek-zakladki 2 "Użycie:"
check "sonvek-eksport with no project" answers sonvek-eksport --daisy x 2 "Użycie:"
check "sonvek-glosnosc with no file" answers sonvek-glosnosc 2 "Użycie:"
check "sonvek-karta with no card" answers sonvek-karta 2 "Użycie:"
check "sonvek-import with no project" answers sonvek-import ksiazka 2 "Użycie:"
check "sonvek-zapowiedzi with a wrong option" answers sonvek-zapowiedzi --zle 2 "nieznana opcja"
check "sonvek-zapowiedzi --list" answers sonvek-zapowiedzi --list -n 2 0 "002.mp3"

if [ "$was_installed" -eq 0 ]; then
    "${sudo_cmd[@]}" apt-get remove -y -qq sonvekmanager >/dev/null
fi
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
