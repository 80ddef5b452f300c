# Sourced by the scripts: a private Wine prefix inside the build tree, a persistent wineserver
# for it, and an Xvfb display. Everything started here is stopped by PID or by this prefix only.

wine_env() {
    local build=$1
    export WINEPREFIX="$build/wineprefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    # The prefix's user folders (Desktop, Documents) become links to this folder, not to the
    # user's own.
    export HOME="$build/winehome"
    # Wine names Unix files in the locale's charset: without UTF-8 a name with an umlaut
    # cannot be created. C.UTF-8 exists on every Debian machine; the ANSI code page stays 1252.
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    mkdir -p "$HOME"
}

# Whether this machine runs 32-bit x86 programs. Some virtual machines run 64-bit user code
# only: there the kernel refuses every 32-bit executable, Wine's 32-bit loader included.
runs_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# On such a machine "wine" must start Wine's 64-bit loader, which Debian's wrapper passes over
# whenever the 32-bit one is installed.
wine_64bit_only() {
    local bin=$1/winebin
    mkdir -p "$bin"
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/wine"
    chmod +x "$bin/wine"
    export PATH="$bin:$PATH"
}

# Sets TOOLCHAIN to the build that runs under Wine here: the product's 32-bit build, or, where
# the machine runs 64-bit user code only, the 64-bit build of the same code, with "wine" starting
# Wine's 64-bit loader (its wrapper below the folder).
wine_toolchain() {
    TOOLCHAIN=mingw-w64.cmake
    if ! runs_32bit; then
        echo "This machine cannot run 32-bit programs: the 64-bit build of the same code runs instead." >&2
        TOOLCHAIN=mingw-w64-x86_64.cmake
        wine_64bit_only "$1"
    fi
}

# Creates and configures the prefix once; later calls reuse it.
wine_prefix() {
    # A prefix made before Wine's 32-bit half was installed cannot start 32-bit programs.
    # The user folders (Desktop, Documents) are links to HOME, made with the prefix.
    local marker
    marker="$(dpkg-query -W -f='${Version}' wine32:i386 2>/dev/null) $HOME"
    if [ -f "$WINEPREFIX/.kv-ready" ] && [ "$(cat "$WINEPREFIX/.kv-ready")" = "$marker" ]; then
        return
    fi
    rm -rf "$WINEPREFIX"
    # Through "wine": the wineboot command starts Debian's wrapper, which takes the 32-bit loader.
    wine wineboot --init >/dev/null 2>&1 </dev/null
    wineserver -w
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wineserver -w
    echo "$marker" >"$WINEPREFIX/.kv-ready"
}

# The prefix NAME beside the one below FOLDER, with a home of its own: the prefix's Desktop is a
# link to it.
wine_side_env() {
    export HOME="$1/winehome-$2" WINEPREFIX="$1/wineprefix-$2"
    mkdir -p "$HOME"
}

# Makes the prefix below FOLDER and the prefixes named beside it (as wine_session names them),
# side by side, so that a script can make them while it builds.
#   wine_prefixes FOLDER [NAME ...]
wine_prefixes() {
    local folder=$1 name
    shift
    (
        wine_env "$folder"
        wine_prefix
    ) &
    for name in "$@"; do
        (
            wine_env "$folder"
            wine_side_env "$folder" "$name"
            wine_prefix
        ) &
    done
    wait
}

wine_start() {
    wine_prefix
    wineserver -p >/dev/null 2>&1 </dev/null &
    # Helpers must not inherit the caller's pipes, or ctest waits for them forever.
    wine wineboot >/dev/null 2>&1 </dev/null
    # The first program that touches user32 starts the desktop process. Started from a test
    # under ctest it is killed with the test's process group and costs a second per test;
    # started here, detached, it stays while programs use it, and for the whole session where
    # DESKTOP_HOLDER names a program that holds it (the tests' desktop_holder.exe).
    if [ -n "${DESKTOP_HOLDER:-}" ]; then
        # Until the desktop is up: a test that came first would start it and never end.
        local ready="$WINEPREFIX/.kv-desktop-held"
        rm -f "$ready"
        wine "$DESKTOP_HOLDER" "Z:${ready//\//\\}" >/dev/null 2>&1 </dev/null &
        for _ in $(seq 600); do
            [ -e "$ready" ] && break
            sleep 0.1
        done
        [ -e "$ready" ] || { echo "The desktop of $WINEPREFIX did not start." >&2; return 1; }
    else
        wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 </dev/null
    fi
}

wine_stop() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
}

# Each call starts one more display and sets DISPLAY to it; xvfb_stop stops them all.
XVFB_PIDS=()
xvfb_start() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    XVFB_PIDS+=($!)
    for _ in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

xvfb_stop() {
    local pid
    for pid in "${XVFB_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    XVFB_PIDS=()
}

# The prefix below the folder, an Xvfb display and the wineserver, all stopped when the calling
# script exits. Each further NAME makes a prefix beside it ("wineprefix-NAME", with a registry,
# a home and a display of its own, the display named in its file .kv-display) for tests that run
# alongside the others: their windows neither take the focus from nor cover each other's.
#   wine_session FOLDER [NAME ...]
wine_session() {
    local folder=$1
    shift
    wine_env "$folder"
    local name stops="wine_stop;"
    for name in "$@"; do
        stops+=" WINEPREFIX='$folder/wineprefix-$name' wine_stop;"
    done
    # shellcheck disable=SC2064
    trap "$stops xvfb_stop" EXIT
    xvfb_start
    local display=$DISPLAY started=()
    for name in "$@"; do
        xvfb_start
        (
            wine_side_env "$folder" "$name"
            wine_start
            echo "$DISPLAY" >"$WINEPREFIX/.kv-display"
        ) &
        started+=($!)
    done
    export DISPLAY=$display
    wine_start
    local pid
    for pid in "${started[@]}"; do
        wait "$pid"
    done
}
