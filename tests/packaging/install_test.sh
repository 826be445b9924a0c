#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a user gets there.
#
#   install_test.sh CHECK BUILD_DIR GUI
#     tree     exactly the expected files; the installed vexor and ornivex run from there
#              (ornivex --help without a display); bash completion of vexor
#     man      every page renders without a warning and holds every line of the --help texts
#              it was made from
#     desktop  desktop-file-validate accepts the entry; its program and icon are installed
#   GUI is ON when the build has the console.
# A check whose tool is not installed exits with 77, which CTest reports as skipped.
set -uo pipefail

check=$1
build=$2
gui=$3

prefix=$(mktemp -d "${TMPDIR:-/tmp}/ornivex-install-test-XXXXXX")
trap 'rm -rf "$prefix" "$prefix.log"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
skip() {
    echo "SKIPPED: $*"
    exit 77
}

if ! "${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log" >&2
    echo "FAIL: cmake --install $build --prefix $prefix" >&2
    exit 1
fi
bin=$prefix/bin

# The help text of an installed program, with that of every command it lists.
help_texts() {
    local program=$bin/$1
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help
    "$program" --help | sed -n '/^commands:/,/^$/s/^  *\([a-z][a-z0-9-]*\) .*/\1/p' |
        while read -r command; do "$program" "$command" --help; done
}

# What completing the words $2.. of a vexor command line offers, the last word being the one
# completed: the offers sorted, on one line.
complete_vexor() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vexor
             printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' \
        _ "$prefix/share/bash-completion/completions/vexor" "$bin/vexor" "${@:2}"
}

case $check in
tree)
    expected="bin/vexor
share/bash-completion/completions/vexor
share/man/man1/vexor.1.gz"
    if [ "$gui" = ON ]; then
        expected+="
bin/ornivex
share/applications/ornivex.desktop
share/icons/hicolor/scalable/apps/ornivex.svg
share/man/man1/ornivex.1.gz"
    fi
    actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
    expected=$(sort <<<"$expected")
    [ "$actual" = "$expected" ] ||
        fail "installed files differ from the expected ones:$(diff <(echo "$expected") <(echo "$actual"))"

    out=$("$bin/vexor" --help) || fail "installed vexor --help failed"
    grep -q '^commands:' <<<"$out" || fail "installed vexor --help lists no commands: $out"
    out=$("$bin/vexor" encode query 21 01) || fail "installed vexor encode failed"
    [ "$out" = "81 02 21 01 D9 82" ] || fail "installed vexor encode query 21 01 printed '$out'"
    if [ "$gui" = ON ]; then
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/ornivex" --help) ||
            fail "installed ornivex --help failed without a display"
        grep -q -- '--demo' <<<"$out" || fail "installed ornivex --help: $out"
    fi

    # Completion: the words of a command line (',' between them; a trailing ',' starts an empty
    # word) and what completing the last one offers.
    while IFS='|' read -r line offers; do
        IFS=',' read -ra words <<<"$line"
        [[ $line == *, ]] && words+=("")
        got=$(complete_vexor "${words[@]}")
        [ "$got" = "$offers" ] || fail "completing 'vexor ${words[*]}': got '$got', want '$offers'"
    done <<'EOF'
vexor,|bbram config decode encode log monitor nmea send sim stats
vexor,de|decode
vexor,encode,|command monitor query raw set system
vexor,encode,s|set system
vexor,sim,--drop|--drop-acks --drop-replies
vexor,sim,--monitor-|--monitor-corrupt --monitor-drop --monitor-refuse
vexor,stats,--|--json --link
vexor,monitor,--parity,|even none odd
vexor,monitor,--duration,|
vexor,decode,--json,-|--json
EOF
    # The baud rates offered are those 'vexor monitor --help' names.
    offered=$(complete_vexor vexor monitor --baud "" | tr ' ' '\n' | sort -n | paste -sd ' ')
    named=$("$bin/vexor" monitor --help | grep -- '--baud N ' | tail -1 |
        grep -o '[0-9]\{4,\}' | sort -n | paste -sd ' ')
    [ "$offered" = "$named" ] || fail "completion offers baud rates '$offered', help names '$named'"
    # File names after decode and --record.
    touch "$prefix/recording.vxr"
    got=$(complete_vexor vexor decode "$prefix/rec")
    [ "$got" = "$prefix/recording.vxr" ] || fail "completing a file after decode: got '$got'"
    got=$(complete_vexor vexor sim --record "$prefix/rec")
    [ "$got" = "$prefix/recording.vxr" ] || fail "completing a file after --record: got '$got'"
    ;;

man)
    command -v man >/dev/null || skip "man is not installed (Debian package man-db)"
    pages=("$prefix"/share/man/man1/*.1.gz)
    [ -e "${pages[0]}" ] || fail "no manual page installed"
    for page in "${pages[@]}"; do
        name=$(basename "$page" .1.gz)
        # One very long line per paragraph: nothing is hyphenated or broken, so a line of the
        # help text is found on the page once runs of blanks are made one.
        text=$(LC_ALL=C MANWIDTH=4000 man --warnings=w -l "$page" 2>"$prefix/warnings") ||
            fail "man -l $page failed"
        [ -s "$prefix/warnings" ] && fail "$name(1) renders with warnings: $(cat "$prefix/warnings")"
        grep -q "^NAME" <<<"$text" || fail "$name(1) has no NAME section"
        text=$(tr -s ' \n' '  ' <<<"$text")
        count=0
        while IFS= read -r line; do
            line=$(sed 's/^ *//; s/ *$//; s/  */ /g; s/^[Uu]sage: //' <<<"$line")
            # Skipped: blank lines and headings, which are the page's own section headings.
            [ -z "$line" ] && continue
            [[ $line =~ ^[a-z].*:$ ]] && continue
            count=$((count + 1))
            grep -qiF -- "$line" <<<"$text" || fail "$name(1) lacks the help line '$line'"
        done < <(help_texts "$name")
        [ "$count" -gt 10 ] || fail "$name --help gave only $count lines"
        for option in $(help_texts "$name" | grep -o -- '--[a-z][a-z0-9-]*' | sort -u); do
            grep -qF -- "$option" <<<"$text" || fail "$name(1) lacks $option"
        done
    done
    ;;

desktop)
    [ "$gui" = ON ] || skip "the build has no console, so no desktop entry"
    command -v desktop-file-validate >/dev/null ||
        skip "desktop-file-validate is not installed (Debian package desktop-file-utils)"
    entry=$prefix/share/applications/ornivex.desktop
    out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate warns: $out"
    # Every Exec runs an installed program; the icon is installed under its name.
    while IFS= read -r program; do
        [ -x "$bin/$program" ] || fail "the entry runs '$program', which is not installed"
    done < <(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
        fail "the entry's icon '$icon' is not installed"
    ;;

*)
    echo "usage: install_test.sh tree|man|desktop BUILD_DIR GUI" >&2
    exit 2
    ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "install $check: passed"
