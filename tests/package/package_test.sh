#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks its file list and its Depends field,
# unpacks it and plays two games with the unpacked runner and sample bots, asks every unpacked
# program for its version, solves the empty board with the installed book, and validates the
# desktop entry. Exits 77 (skipped) without dpkg-deb.
#   package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
if ! command -v dpkg-deb >/dev/null; then
    echo "skipped: dpkg-deb is missing (Debian: dpkg)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/fourfall_"$version"_*.deb) || fail "no fourfall_${version}_ARCH.deb"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for expected in \
    ./usr/bin/fourfall-moderator ./usr/bin/fourfall-match ./usr/bin/fourfall-report \
    ./usr/bin/fourfall-random-bot ./usr/bin/fourfall-strong-bot ./usr/bin/fourfall-perfect-bot \
    ./usr/share/fourfall/opening.book ./usr/libexec/fourfall/fourfall-bot-launcher \
    ./usr/share/applications/fourfall-moderator.desktop \
    ./usr/share/icons/hicolor/32x32/apps/fourfall-moderator.png \
    ./usr/share/doc/fourfall/copyright ./usr/share/doc/fourfall/changelog.gz \
    ./usr/share/doc/fourfall/bot-guide.md ./usr/share/doc/fourfall/examples/example_bot.py \
    ./usr/share/man/man1/fourfall-match.1.gz ./usr/share/man/man1/fourfall-moderator.1.gz \
    ./usr/share/man/man1/fourfall-report.1.gz ./usr/share/man/man7/fourfall-bots.7.gz; do
    grep -qx -- "$expected" <<<"$files" || fail "the package lacks $expected"
done
# Nothing outside /usr.
if grep -v -e '^\./$' -e '^\./usr/' <<<"$files"; then
    fail "the package installs outside /usr"
fi

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
bin=$work/root/usr/bin
for program in fourfall-moderator fourfall-match fourfall-report fourfall-solve \
    fourfall-random-bot fourfall-strong-bot fourfall-perfect-bot; do
    [ "$("$bin/$program" --version)" = "$program $version" ] || fail "$program --version"
done
(cd "$work" && "$bin/fourfall-match" --games 2 --quiet --log games.jsonl \
    "$bin/fourfall-random-bot --seed 3" "$bin/fourfall-strong-bot --time-ms 20") >"$work/match.out" ||
    fail "the unpacked runner"
[ "$(wc -l <"$work/games.jsonl")" -eq 3 ] || fail "two games and the run's line in the log"
grep -q "fourfall-strong-bot --time-ms 20      2" "$work/match.out" || fail "the table: $(cat "$work/match.out")"
# The unpacked solver finds the installed opening book: the empty board at once, and no warning.
[ "$(echo | timeout 60 "$bin/fourfall-solve" 2>&1)" = " 1" ] || fail "the unpacked solver and its book"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/root/usr/share/applications/fourfall-moderator.desktop" ||
        fail "desktop-file-validate"
else
    echo "desktop-file-validate is missing (Debian: desktop-file-utils): not checked"
fi
echo "1 passed, 0 failed"
