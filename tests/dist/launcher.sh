#!/bin/sh
# The disk's launcher as listeners call it: from other folders, through
# chains of links (relative, absolute, linked folders), from a folder whose
# path has spaces and quotes, with their own arguments; and the menu entry
# it writes, which desktops must be able to parse back to the launcher.
# A stand-in program records where it was started and with what.
# Usage: sh launcher.sh <source dir>
set -eu
source=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/diskplayer-launcher.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    printf 'FAIL: %s\n' "$*"
    echo "$*" >>"$work/failures"
}
# The program must never be handed the loader's search path by the launcher
# (nor, where /proc is mounted as here, its origin).
unset LD_LIBRARY_PATH LD_ORIGIN_PATH

# A disk folder under an awkward path: spaces, quotes, a dollar, a backslash.
disk="$work/my disks/it's \"\$100\" \\ more"
mkdir -p "$disk" "$work/elsewhere" "$work/bin" "$work/links"
sed 's/@DISK@/vellumbra/g' "$source/dist/launcher" >"$disk/vellumbra"
chmod 755 "$disk/vellumbra"
sed 's/@NAME@/Vellumbra/g; s/@DISK@/vellumbra/g' "$source/dist/disk.desktop.in" >"$disk/vellumbra.desktop"
cp "$source/res/icon.png" "$disk/vellumbra.png"
cat >"$disk/diskplayer" <<'EOF'
#!/bin/sh
{ pwd -P; for a in "$@"; do printf '<%s>' "$a"; done; echo
  echo "LD_LIBRARY_PATH=${LD_LIBRARY_PATH-unset} LD_ORIGIN_PATH=${LD_ORIGIN_PATH-unset}"; } >"$RECORD"
EOF
chmod 755 "$disk/diskplayer"
real=$(cd "$disk" && pwd -P)
export RECORD="$work/record"

# Runs a launcher command from a folder; checks the stand-in's folder and
# the arguments it received: the launcher's own "-a" (a window that suits
# the screen), then the caller's, whole and in order.
expect_start() {
    what=$1 from=$2 want_args=$3
    shift 3
    rm -f "$RECORD"
    (cd "$from" && "$@") >"$work/out" 2>&1 || { fail "$what: exit status $?"; cat "$work/out"; return; }
    [ -f "$RECORD" ] || { fail "$what: the program did not start"; cat "$work/out"; return; }
    [ "$(sed -n 1p "$RECORD")" = "$real" ] || fail "$what: started in '$(sed -n 1p "$RECORD")'"
    [ "$(sed -n 2p "$RECORD")" = "$want_args" ] || fail "$what: arguments '$(sed -n 2p "$RECORD")'"
    [ "$(sed -n 3p "$RECORD")" = "LD_LIBRARY_PATH=unset LD_ORIGIN_PATH=unset" ] ||
        fail "$what: the launcher set $(sed -n 3p "$RECORD")"
}

expect_start "from its own folder" "$disk" "<-a>" ./vellumbra
expect_start "from another folder" "$work/elsewhere" "<-a><-b>" "$disk/vellumbra" -b
expect_start "arguments kept whole" "$work/elsewhere" "<-a><-b><two words><>" "$disk/vellumbra" -b "two words" ""
expect_start "through sh" "$work/elsewhere" "<-a>" sh "$disk/vellumbra"

ln -s "$disk/vellumbra" "$work/bin/vellumbra"
expect_start "absolute link" "$work/elsewhere" "<-a><-b>" "$work/bin/vellumbra" -b
ln -s "../my disks/$(basename "$disk")/vellumbra" "$work/links/relative"
ln -s ../links/relative "$work/bin/chain"
expect_start "chain of relative links" "$work/elsewhere" "<-a>" "$work/bin/chain"
ln -s "$disk" "$work/linked folder"
expect_start "through a linked folder" "$work/elsewhere" "<-a>" "$work/linked folder/vellumbra"
ln -s "linked folder/vellumbra" "$work/via-folder"
expect_start "link into a linked folder" "$work/bin" "<-a>" ../via-folder
expect_start "found on PATH" "$work/elsewhere" "<-a><-b>" env PATH="$work/bin:$PATH" vellumbra -b

# CDPATH makes cd search its folders for a relative one and print the one it
# chose: the launcher must still start its own disk, not a namesake found
# first on CDPATH.
decoy="$work/decoy/my disks/$(basename "$disk")"
mkdir -p "$decoy"
cp "$disk/diskplayer" "$decoy/"
for cdpath in ".:/usr" "$work/decoy:."; do
    expect_start "CDPATH=$cdpath" "$work" "<-a>" env CDPATH="$cdpath" "my disks/$(basename "$disk")/vellumbra"
done

# The menu entry: written without root under XDG_DATA_HOME (else
# ~/.local/share), naming the launcher and icon by absolute path, valid for
# desktop-file-validate, and its Exec line, read the way desktops read it,
# runs the launcher again.
# Prints a key's value as desktops read it: the entry's string escapes
# first; for Exec then its own quoting (inside double quotes a backslash
# escapes \ " ` $), one word a line, and %% for %.
entry_value() {
    python3 - "$1" "$2" <<'PY'
import sys
key, path = sys.argv[1], sys.argv[2]
escapes = {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}
for line in open(path):
    line = line.rstrip("\n")
    if not line.startswith(key + "="):
        continue
    raw, value, i = line[len(key) + 1:], "", 0
    while i < len(raw):
        if raw[i] == "\\" and i + 1 < len(raw) and raw[i + 1] in escapes:
            value, i = value + escapes[raw[i + 1]], i + 2
        else:
            value, i = value + raw[i], i + 1
    if key != "Exec":
        print(value)
        continue
    words, word, quoted, i = [], None, False, 0
    while i < len(value):
        c = value[i]
        if quoted and c == "\\" and i + 1 < len(value) and value[i + 1] in '"`$\\':
            word, i = (word or "") + value[i + 1], i + 2
            continue
        if c == '"':
            quoted, word = not quoted, word or ""
        elif c == " " and not quoted:
            if word is not None:
                words.append(word)
            word = None
        else:
            word = (word or "") + c
        i += 1
    if word is not None:
        words.append(word)
    print("\n".join(w.replace("%%", "%") for w in words))
PY
}
check_entry() {
    what=$1 entry=$2
    [ -f "$entry" ] || { fail "$what: no entry at $entry"; return; }
    if command -v desktop-file-validate >/dev/null 2>&1; then
        desktop-file-validate "$entry" >"$work/validate" 2>&1 || {
            fail "$what: the entry does not validate"; cat "$work/validate"; }
    fi
    [ "$(entry_value Exec "$entry")" = "$real/vellumbra" ] ||
        fail "$what: Exec reads back as '$(entry_value Exec "$entry")'"
    [ "$(entry_value Icon "$entry")" = "$real/vellumbra.png" ] || fail "$what: Icon reads back as '$(entry_value Icon "$entry")'"
    [ -f "$(entry_value Icon "$entry")" ] || fail "$what: the icon is not there"
    [ "$(entry_value Name "$entry")" = "Vellumbra" ] || fail "$what: the entry lost its name"
    # As a desktop would: the unquoted Exec, from another folder; and through
    # GLib's own launcher, the one GNOME and Xfce use, where it is installed.
    rm -f "$RECORD"
    if (cd "$work/elsewhere" && "$(entry_value Exec "$entry")") >"$work/exec" 2>&1; then
        [ "$(sed -n 1p "$RECORD" 2>/dev/null)" = "$real" ] || fail "$what: the entry's Exec did not start the disk"
    else
        fail "$what: the entry's Exec failed: $(cat "$work/exec")"
    fi
    if command -v gio >/dev/null 2>&1; then
        rm -f "$RECORD"
        (cd "$work/elsewhere" && gio launch "$entry") >"$work/gio" 2>&1 || {
            fail "$what: gio launch failed"; cat "$work/gio"; }
        tries=0
        while [ ! -s "$RECORD" ] && [ $tries -lt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
        [ "$(sed -n 1p "$RECORD" 2>/dev/null)" = "$real" ] || fail "$what: gio launch did not start the disk"
    fi
}

home="$work/home"
mkdir -p "$home"
(cd "$work/elsewhere" && env -u XDG_DATA_HOME HOME="$home" "$work/bin/chain" --install-menu) >"$work/out" 2>&1 ||
    fail "--install-menu failed: $(cat "$work/out")"
check_entry "under HOME" "$home/.local/share/applications/vellumbra.desktop"
[ -f "$RECORD" ] && [ "$(sed -n 2p "$RECORD")" = "<--install-menu>" ] &&
    fail "--install-menu was passed on to the program"
(cd "$work/elsewhere" && env -u XDG_DATA_HOME HOME="$home" "$work/bin/chain" --uninstall-menu) >"$work/out" 2>&1 ||
    fail "--uninstall-menu failed: $(cat "$work/out")"
[ -e "$home/.local/share/applications/vellumbra.desktop" ] && fail "--uninstall-menu left the entry"
ls "$home/.local/share/applications" | grep -q . && fail "--uninstall-menu left files: $(ls "$home/.local/share/applications")"

data="$work/xdg data"
(cd / && HOME="$home" XDG_DATA_HOME="$data" "$disk/vellumbra" --install-menu) >"$work/out" 2>&1 ||
    fail "--install-menu with XDG_DATA_HOME failed: $(cat "$work/out")"
check_entry "under XDG_DATA_HOME" "$data/applications/vellumbra.desktop"
[ -e "$home/.local/share/applications/vellumbra.desktop" ] && fail "XDG_DATA_HOME was not obeyed"
# A second install replaces the entry; removal twice is harmless.
(HOME="$home" XDG_DATA_HOME="$data" "$disk/vellumbra" --install-menu) >/dev/null 2>&1 || fail "reinstalling failed"
[ "$(ls "$data/applications" | grep -c .)" = 1 ] || fail "reinstalling left $(ls "$data/applications")"
(HOME="$home" XDG_DATA_HOME="$data" "$disk/vellumbra" --uninstall-menu) >/dev/null 2>&1 || fail "removal failed"
(HOME="$home" XDG_DATA_HOME="$data" "$disk/vellumbra" --uninstall-menu) >/dev/null 2>&1 || fail "a second removal failed"
[ -e "$data/applications/vellumbra.desktop" ] && fail "--uninstall-menu left the XDG_DATA_HOME entry"

# A percent sign is doubled in Exec (GLib cannot launch such a path at all;
# the launcher warns, and the entry still reads back right).
pct="$work/100% disk"
mkdir -p "$pct"
cp "$disk/vellumbra" "$disk/vellumbra.desktop" "$disk/diskplayer" "$pct/"
(HOME="$home" XDG_DATA_HOME="$data" "$pct/vellumbra" --install-menu) >"$work/out" 2>&1 ||
    fail "--install-menu from a folder with a % failed: $(cat "$work/out")"
grep -q "warning" "$work/out" || fail "no warning for a % in the path"
[ "$(entry_value Exec "$data/applications/vellumbra.desktop")" = "$pct/vellumbra" ] ||
    fail "with a %, Exec reads back as '$(entry_value Exec "$data/applications/vellumbra.desktop")'"
grep -q "^Exec=.*100%% disk" "$data/applications/vellumbra.desktop" || fail "the % was not doubled"

# A relative XDG_DATA_HOME is ignored (the entry goes under HOME), and a
# path that is not UTF-8 is refused with a reason, before anything is written.
(cd "$work/elsewhere" && HOME="$home" XDG_DATA_HOME="relative data" "$disk/vellumbra" --install-menu) \
    >"$work/out" 2>&1 || fail "--install-menu with a relative XDG_DATA_HOME failed: $(cat "$work/out")"
check_entry "relative XDG_DATA_HOME ignored" "$home/.local/share/applications/vellumbra.desktop"
[ -e "$work/elsewhere/relative data" ] && fail "a relative XDG_DATA_HOME was obeyed"
latin1=$(printf '%s/caf\351' "$work")
mkdir -p "$latin1"
cp "$disk/vellumbra" "$disk/vellumbra.desktop" "$disk/diskplayer" "$latin1/"
rm -f "$data/applications/vellumbra.desktop"
(HOME="$home" XDG_DATA_HOME="$data" "$latin1/vellumbra" --install-menu) >"$work/out" 2>&1 &&
    fail "--install-menu from a folder whose path is not UTF-8 claimed success"
grep -q "UTF-8" "$work/out" || fail "no reason for a path that is not UTF-8: $(cat "$work/out")"
[ -e "$data/applications/vellumbra.desktop" ] && fail "an entry was written for a path that is not UTF-8"

# Playing needs neither HOME nor XDG_DATA_HOME (a bare session, a service).
rm -f "$RECORD"
(cd "$work/elsewhere" && env -u HOME -u XDG_DATA_HOME "$disk/vellumbra") >"$work/out" 2>&1 ||
    fail "without HOME the launcher failed: $(cat "$work/out")"
[ -f "$RECORD" ] || fail "without HOME the program did not start"
(env -u HOME -u XDG_DATA_HOME "$disk/vellumbra" --install-menu) >"$work/out" 2>&1 &&
    fail "--install-menu without HOME or XDG_DATA_HOME claimed success"
grep -q "HOME" "$work/out" || fail "--install-menu without HOME gave no reason: $(cat "$work/out")"

if [ -f "$work/failures" ]; then
    echo "$(wc -l <"$work/failures") check(s) failed"
    exit 1
fi
echo "all checks passed"
