#!/usr/bin/env bash
# Checks the Debian package that make package made: its name and control fields, that it has
# no maintainer scripts, its files and their modes, the desktop entry, the metadata and the
# manual pages against Debian's own validators, that apt would install it with what it
# depends on, and the two programs it holds, run from the unpacked package under a home folder
# of their own: the installed program's first start, and the tool's default database.
# Usage: tests/package/check-package.sh quillet_VERSION_amd64.deb (from the repository's top)
set -euo pipefail

deb=$1
version=$(sed -n 's/^project(Quillet VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
id=org.quillet.Quillet
work=$(mktemp -d)
program=
cleanup() {
    [ -z "$program" ] || kill -KILL "$program" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

checks=0
failures=0
check() {
    local name=$1
    shift
    checks=$((checks + 1))
    if "$@" >"$work/out" 2>&1; then
        echo "ok: $name"
    else
        failures=$((failures + 1))
        echo "FAILED: $name"
        sed 's/^/    /' "$work/out"
    fi
}
# Whether the text (standard input) holds the line, exactly.
has_line() { grep -qxF -- "$1"; }
# Waits up to 30 seconds for the command to succeed.
wait_for() {
    local tries=300
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

field() { dpkg-deb --field "$deb" "$1"; }

echo "Checking $deb"
check "named by the project's version" test "$(basename "$deb")" = "quillet_${version}_amd64.deb"
check "control: package, version, architecture" test \
    "$(field Package) $(field Version) $(field Architecture)" = "quillet $version amd64"
# The libraries the programs link, as dpkg-shlibdeps names them (with the versions the symbols
# need, where the library's package states them), and the toolkit's plugins, named by hand
# because they are loaded, not linked.
depends_on() { field Depends | tr ',' '\n' | sed 's/^ *//' | grep -q "^$1"; }
for library in 'libc6 (>= ' 'libstdc++6 (>= ' 'libsqlite3-0 (>= ' 'libqt6core6 (>= ' \
    'libqt6gui6 (>= ' 'libqt6widgets6 (>= ' 'libqt6printsupport6 (>= ' 'libqt6network6 (>= ' \
    'libqt6svg6' 'qt6-qpa-plugins' 'libhunspell-1.7-0'; do
    check "depends on $library" depends_on "$library"
done
check "recommends the Greek and English dictionaries" test \
    "$(field Recommends)" = "hunspell-el, hunspell-en-us"
# Removing the package removes its files and runs nothing, so it never touches a user's notes.
check "no maintainer scripts" test "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sort | tr '\n' ' ')" \
    = "./control ./md5sums "

dpkg-deb --contents "$deb" | awk '{ print $1, $2, $6 }' | sort -k3 >"$work/contents"
expected_contents() {
    local dir='drwxr-xr-x root/root' file='-rw-r--r-- root/root' exe='-rwxr-xr-x root/root'
    printf '%s\n' "$dir ./usr/" "$dir ./usr/bin/" "$exe ./usr/bin/quillet" \
        "$exe ./usr/bin/quillet-db" "$dir ./usr/share/" "$dir ./usr/share/applications/" \
        "$file ./usr/share/applications/$id.desktop" "$dir ./usr/share/doc/" \
        "$dir ./usr/share/doc/quillet/" "$file ./usr/share/doc/quillet/changelog.gz" \
        "$file ./usr/share/doc/quillet/copyright" "$file ./usr/share/doc/quillet/README.md.gz" \
        "$dir ./usr/share/icons/" \
        "$dir ./usr/share/icons/hicolor/" "$dir ./usr/share/icons/hicolor/scalable/" \
        "$dir ./usr/share/icons/hicolor/scalable/apps/" \
        "$file ./usr/share/icons/hicolor/scalable/apps/$id.svg" "$dir ./usr/share/man/" \
        "$dir ./usr/share/man/man1/" "$file ./usr/share/man/man1/quillet-db.1.gz" \
        "$file ./usr/share/man/man1/quillet.1.gz" "$dir ./usr/share/metainfo/" \
        "$file ./usr/share/metainfo/$id.metainfo.xml" | sort -k3
}
check "files, owners and modes" diff <(expected_contents) "$work/contents"

root=$work/root
dpkg-deb --extract "$deb" "$root"
desktop=$root/usr/share/applications/$id.desktop
check "desktop entry is valid" desktop-file-validate "$desktop"
# One main category, so that the menus list the program once.
for line in "Exec=quillet" "Icon=$id" "StartupWMClass=Quillet" "Categories=Office;"; do
    check "desktop entry: $line" has_line "$line" <"$desktop"
done
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
check "metadata is valid" appstreamcli validate --no-net "$metainfo"
check "metadata: id, launchable, release" grep -c \
    -e "<id>$id</id>" -e "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
    -e "<release version=\"$version\"" "$metainfo"
manual_page_clean() { test -z "$(man --warnings -l "$1" 2>&1 >/dev/null)"; }
for page in quillet quillet-db; do
    check "manual page $page(1) without warnings" \
        manual_page_clean "$root/usr/share/man/man1/$page.1.gz"
done
tool=$root/usr/bin/quillet-db
every_command_in_manual() {
    local page
    page=$(man -l "$root/usr/share/man/man1/quillet-db.1.gz" 2>/dev/null | col -b)
    for command in $("$tool" --help | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'); do
        grep -q "quillet-db $command " <<<"$page" || { echo "no $command"; return 1; }
    done
    grep -q "^EXIT STATUS" <<<"$page"
}
check "quillet-db(1) has every command and the exit status" every_command_in_manual
check "apt would install it with its dependencies" apt-get install --simulate "./$deb"

# The unpacked programs, in a home folder of their own.
home=$work/home
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
run() {
    env -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
        "$@"
}
notes=$home/.local/share/quillet
check "quillet-db --version" test "$(run "$tool" --version)" = "quillet-db $version"
default_named() {
    local status=0
    run "$tool" stats >"$work/said" 2>&1 || status=$?
    cat "$work/said"
    [ "$status" -eq "$1" ] && grep -qF "quillet-db: the notes database is $notes/mydata.mdb." \
        "$work/said" && grep -qF "$2" "$work/said"
}
check "quillet-db takes the user's notes when PATH is left out (none yet)" \
    default_named 1 "$notes/mydata.mdb"
check "nothing made by a look" test ! -e "$home/.local"
# Help, the version and an unknown option, with no display at all: answered, and nothing made.
answered_without_display() {
    local status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_DATA_HOME HOME="$home" \
        XDG_RUNTIME_DIR="$work/runtime" "$root/usr/bin/quillet" "$1" >"$work/said" 2>&1 ||
        status=$?
    cat "$work/said"
    [ "$status" -eq "$2" ] && grep -qF -- "$3" "$work/said" && test ! -e "$home/.local"
}
check "quillet --help without a display" answered_without_display --help 0 "Usage: quillet"
check "quillet --version without a display" answered_without_display --version 0 \
    "quillet $version"
check "quillet with an unknown option" answered_without_display --bogus 2 "unknown option"
manual_lists_options() {
    local page
    page=$(man -l "$root/usr/share/man/man1/quillet.1.gz" 2>/dev/null | col -b)
    grep -q -- "--help" <<<"$page" && grep -q -- "--version" <<<"$page"
}
check "quillet(1) lists the options" manual_lists_options

# Started by env itself, so that the signals below reach the program.
env -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
    "$root/usr/bin/quillet" >"$work/program.log" 2>&1 &
program=$!
# Up once its window shows: it then listens beside its lock for later starts.
started() { ls "$work/runtime" | grep -q '^quillet-.*\.socket$' && test -e "$notes/mydata.mdb"; }
check "the first start makes the notes" wait_for started
mode() { stat -c %a "$1"; }
check "the notes folder is the user's alone" test "$(mode "$notes")" = 700
check "the notes file is the user's alone" test "$(mode "$notes/mydata.mdb")" = 600
check "the starter database is sound" run "$tool" check
check "quillet-db takes the user's notes when PATH is left out" default_named 0 "Items: 2"
# A termination signal closes the window as the user does, the first start's message open.
kill -TERM "$program"
# Ended: gone, or a zombie waiting for its status.
ended() { [ ! -e "/proc/$program" ] || grep -q '^[0-9]* (.*) Z' "/proc/$program/stat"; }
check "the program ends on SIGTERM" wait_for ended
status=0
wait "$program" || status=$?
program=
check "and with status 0" test "$status" = 0

if [ "$failures" -ne 0 ]; then
    echo "$failures of $checks package checks failed."
    exit 1
fi
echo "All $checks package checks passed."
