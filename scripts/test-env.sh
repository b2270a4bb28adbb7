# Test environment for running lintaro.exe under Wine: Xvfb, a CUPS spooler of its own with PDF
# printers, a Wine prefix. Source this file, then call lintaro_env_start and, when done,
# lintaro_env_stop.
#
# Settings (environment, all optional):
#   LINTARO_BUILD_ROOT  build folder that holds the cached Wine prefix     (default: <repo>/build)
#   LINTARO_RUN_DIR     folder of this test run (PDFs, LPT1, screenshots, spooler)
#                                                                          (default: $LINTARO_BUILD_ROOT/test-run)
#   LINTARO_DISPLAY     an X display to use instead of starting Xvfb       (default: start Xvfb)
#   LINTARO_SCREEN      Xvfb screen geometry                               (default: 1024x768x24)
# Exported by lintaro_env_start for every Wine process and for the tests:
#   WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LANG LC_ALL DISPLAY
#   CUPS_SERVER (the socket of this run's own cupsd: lp, lpstat and Wine print there)
#   LINTARO_ENV_READY=1 LINTARO_RUN_DIR LINTARO_PDF_DIR LINTARO_LPT1_FILE LINTARO_SCREENSHOT_DIR
#   LINTARO_PRINTER (the default printer, "PDF") LINTARO_SECOND_PRINTER ("Letter": US Letter by
#   default, 12 pt = 4.23 mm unprintable strip on the left) LINTARO_WIN_BUILD (the Windows build tree)
#   LINTARO_CUPS_DIR (the spooler's configuration, PPDs, spool and logs: a folder of its own in /tmp)
#   LINTARO_PDF_DEVICE (the printers' device: PDFs into LINTARO_PDF_DIR, named after the job)
# The spooler listens only on its socket in its own folder and keeps everything there, so runs in
# two run folders print side by side; the machine's CUPS is neither used nor changed. Two
# environments at once also need two build roots: one build root holds one Wine prefix.
# lintaro_env_stop ends only what lintaro_env_start started, by process id, and `wineserver -k`
# for our own prefix last. It also works from another shell: it reads $LINTARO_RUN_DIR/env.state.

LINTARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
LINTARO_PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

_lintaro_log() { echo "test-env: $*" >&2; }

_lintaro_paths() {
  LINTARO_BUILD_ROOT="${LINTARO_BUILD_ROOT:-$LINTARO_ROOT/build}"
  LINTARO_RUN_DIR="${LINTARO_RUN_DIR:-$LINTARO_BUILD_ROOT/test-run}"
  LINTARO_PDF_DIR="$LINTARO_RUN_DIR/pdf"
  LINTARO_LPT1_FILE="$LINTARO_RUN_DIR/lpt1.out"
  LINTARO_SCREENSHOT_DIR="$LINTARO_RUN_DIR/screenshots"
  LINTARO_STATE_FILE="$LINTARO_RUN_DIR/env.state"
  LINTARO_WIN_BUILD="${LINTARO_WIN_BUILD:-$LINTARO_BUILD_ROOT/win}"
  export LINTARO_BUILD_ROOT LINTARO_RUN_DIR LINTARO_PDF_DIR LINTARO_LPT1_FILE \
         LINTARO_SCREENSHOT_DIR LINTARO_WIN_BUILD
  export WINEPREFIX="$LINTARO_BUILD_ROOT/wineprefix"
  export WINEDEBUG=-all LANG=bg_BG.UTF-8 LC_ALL=bg_BG.UTF-8
  export WINEDLLOVERRIDES="winedbg.exe=d"
  export LINTARO_PRINTER=PDF LINTARO_SECOND_PRINTER=Letter
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
_lintaro_wait_for() {
  local tries=$1; shift
  while ((tries-- > 0)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

_lintaro_start_xvfb() {
  if [[ -n "${LINTARO_DISPLAY:-}" ]]; then
    export DISPLAY="$LINTARO_DISPLAY"
    return 0
  fi
  local number
  for ((number = 99; number < 200; number++)); do
    [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]] && continue
    Xvfb ":$number" -screen 0 "${LINTARO_SCREEN:-1024x768x24}" -nolisten tcp \
      >"$LINTARO_RUN_DIR/xvfb.log" 2>&1 &
    LINTARO_XVFB_PID=$!
    disown "$LINTARO_XVFB_PID" 2>/dev/null || true
    # The display must answer and be ours: another environment starting at the same moment may
    # have taken the number first (the X lock file holds the server's process id).
    if _lintaro_wait_for 100 xdpyinfo -display ":$number" &&
        (($(tr -d ' \n' <"/tmp/.X$number-lock" 2>/dev/null || echo 0) == LINTARO_XVFB_PID)); then
      export DISPLAY=":$number"
      echo "LINTARO_XVFB_PID=$LINTARO_XVFB_PID" >>"$LINTARO_STATE_FILE"
      return 0
    fi
    kill "$LINTARO_XVFB_PID" 2>/dev/null; wait "$LINTARO_XVFB_PID" 2>/dev/null
    LINTARO_XVFB_PID=
  done
  _lintaro_log "no free X display for Xvfb"
  return 1
}

# A copy of the cups-pdf PPD defaulting to US Letter with a 12 pt (4.23 mm) unprintable strip on
# the left of every paper size, so tests have a second printer with other metrics.
_lintaro_second_ppd() {
  sed -E \
    -e 's/^\*Default(PageSize|PageRegion|ImageableArea|PaperDimension): A4/*Default\1: Letter/' \
    -e 's/^(\*ImageableArea [^:]*: ")0 /\112 /' \
    -e 's/^(\*NickName: ")/\1Strip /' \
    "$LINTARO_PPD" >"$1"
}

# The spooler's own folders and configuration, all under the run folder: no network port, no
# printer sharing or discovery, nothing read from or written to the machine's CUPS.
_lintaro_write_cupsd_conf() {
  local dir=$LINTARO_CUPS_DIR
  mkdir -p "$dir"/{ppd,spool/tmp,cache,state,log,bin/backend}
  # The machine's filters and backends, and our PDF backend beside them. Mode 0700: the
  # spooler runs it with its own rights, so it may write into the run folder.
  local part
  for part in /usr/lib/cups/*; do
    [[ $(basename "$part") == backend ]] || ln -sfn "$part" "$dir/bin/"
  done
  install -m 0700 "$LINTARO_ROOT/scripts/pdf-backend.py" "$dir/bin/backend/pdf-folder"
  cat >"$dir/cups-files.conf" <<EOF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerBin $dir/bin
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/state/printcap
SystemGroup root
EOF
  cat >"$dir/cupsd.conf" <<EOF
LogLevel warn
Listen $CUPS_SERVER
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
ErrorPolicy retry-job
PreserveJobHistory Yes
<Policy default>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
}

_lintaro_start_cups() {
  # The spooler's folder is a fresh one of its own under /tmp, not in the run folder: the
  # filters run as the user lp, who may not enter the folders above a checkout (a clone in a
  # private temporary folder), and a Unix socket's path holds at most 107 bytes.
  LINTARO_CUPS_DIR=$(mktemp -d /tmp/lintaro-cups.XXXXXX) || {
    _lintaro_log "could not make a folder for the spooler under /tmp"
    return 1
  }
  chmod 0755 "$LINTARO_CUPS_DIR"
  echo "LINTARO_CUPS_DIR=$LINTARO_CUPS_DIR" >>"$LINTARO_STATE_FILE"
  # libcups (lp, lpstat, Wine) reaches this run's own spooler through its socket.
  export LINTARO_CUPS_DIR CUPS_SERVER="$LINTARO_CUPS_DIR/cups.sock"
  _lintaro_write_cupsd_conf
  # Started by root, cupsd runs its filters as the user lp: they must reach the spool folder.
  if ((EUID == 0)) && ! runuser -u lp -- test -x "$LINTARO_CUPS_DIR" 2>/dev/null; then
    _lintaro_log "the user lp, which runs the spooler's filters, cannot enter $LINTARO_CUPS_DIR:" \
      "let others enter the run folder and the folders above it (chmod o+x)"
    return 1
  fi
  /usr/sbin/cupsd -f -c "$LINTARO_CUPS_DIR/cupsd.conf" -s "$LINTARO_CUPS_DIR/cups-files.conf" \
    >"$LINTARO_CUPS_DIR/log/cupsd.out" 2>&1 </dev/null &
  LINTARO_CUPSD_PID=$!
  disown "$LINTARO_CUPSD_PID" 2>/dev/null || true
  echo "LINTARO_CUPSD_PID=$LINTARO_CUPSD_PID" >>"$LINTARO_STATE_FILE"
  if ! _lintaro_wait_for 100 sh -c "lpstat -r | grep -q 'is running'"; then
    _lintaro_log "cupsd did not start (see $LINTARO_CUPS_DIR/log)"
    return 1
  fi
  local second_ppd="$LINTARO_RUN_DIR/letter-strip.ppd"
  LINTARO_PDF_DEVICE="pdf-folder:$(/usr/bin/python3 -c 'import sys, urllib.parse
print(urllib.parse.quote(sys.argv[1]))' "$LINTARO_PDF_DIR")"
  export LINTARO_PDF_DEVICE
  _lintaro_second_ppd "$second_ppd"
  # lpadmin warns on every PPD that drivers are deprecated: that is no news here.
  {
    lpadmin -p "$LINTARO_PRINTER" -v "$LINTARO_PDF_DEVICE" -E -P "$LINTARO_PPD" &&
      lpadmin -p "$LINTARO_SECOND_PRINTER" -v "$LINTARO_PDF_DEVICE" -E -P "$second_ppd" &&
      lpadmin -d "$LINTARO_PRINTER"
  } 2> >(grep -v 'drivers are deprecated' >&2) || {
    _lintaro_log "could not set up the CUPS printers"
    return 1
  }
}

# Everything that goes into the prefix; its hash decides whether a cached prefix is still good.
_lintaro_prefix_registry() {
  local lpt1_windows="${LINTARO_LPT1_FILE//\\/\\\\}"
  cat <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"Arial"="Liberation Sans"
"Courier New"="Liberation Mono"
"Times New Roman"="Liberation Serif"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]
"LPT1"="$lpt1_windows"

; The Wine-side tests run on a checked heap, as the native ones run under AddressSanitizer:
; freed blocks are filled and the fill is checked, blocks carry a checked tail (0x10 | 0x20).
[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\lintaro_win_tests.exe]
"GlobalFlag"=dword:00000030
EOF
}

_lintaro_prefix_recipe_hash() {
  {
    declare -f _lintaro_build_prefix _lintaro_prefix_registry
    _lintaro_prefix_registry
    wine --version 2>/dev/null
    echo "$WINEPREFIX $LINTARO_LPT1_FILE"
    ls /usr/share/wine/fonts
  } | sha256sum | cut -d' ' -f1
}

_lintaro_build_prefix() {
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # No Mono or Gecko installers: they would ask for a download.
  WINEDLLOVERRIDES="mscoree=d;mshtml=d;winedbg.exe=d" wineboot -i >/dev/null 2>&1 || return 1
  wineserver -w
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  _lintaro_prefix_registry >"$WINEPREFIX/lintaro-settings.reg"
  wine regedit /S "$WINEPREFIX/lintaro-settings.reg" >/dev/null 2>&1 || return 1
  wineserver -w
  ln -sfn "$LINTARO_LPT1_FILE" "$WINEPREFIX/dosdevices/lpt1"
}

_lintaro_prepare_prefix() {
  local stamp="$WINEPREFIX/.lintaro-recipe" hash
  hash="$(_lintaro_prefix_recipe_hash)"
  if [[ -f "$stamp" && "$(cat "$stamp")" == "$hash" ]]; then
    return 0
  fi
  _lintaro_log "initialising the Wine prefix $WINEPREFIX"
  [[ -d "$WINEPREFIX" ]] && wineserver -k >/dev/null 2>&1
  _lintaro_build_prefix || { _lintaro_log "could not initialise the Wine prefix"; return 1; }
  echo "$hash" >"$stamp"
}

_lintaro_env_start() {
  _lintaro_paths
  if [[ -f "$LINTARO_STATE_FILE" ]] && grep -q '_PID=' "$LINTARO_STATE_FILE"; then
    _lintaro_log "stopping what an earlier run left"
    _lintaro_env_stop
  fi
  mkdir -p "$LINTARO_RUN_DIR"
  rm -rf "$LINTARO_PDF_DIR" "$LINTARO_SCREENSHOT_DIR" "$LINTARO_RUN_DIR/apps"
  mkdir -p "$LINTARO_PDF_DIR" "$LINTARO_SCREENSHOT_DIR"
  : >"$LINTARO_LPT1_FILE"
  : >"$LINTARO_STATE_FILE"
  echo "LINTARO_WINEPREFIX=$WINEPREFIX" >>"$LINTARO_STATE_FILE"
  LINTARO_XVFB_PID= LINTARO_CUPSD_PID=

  _lintaro_start_xvfb || return 1
  _lintaro_start_cups || { _lintaro_env_stop; return 1; }
  # A wineserver of an earlier, interrupted run of this prefix would hold the old display.
  wineserver -k >/dev/null 2>&1
  _lintaro_prepare_prefix || { _lintaro_env_stop; return 1; }
  # Start Wine's services now, so no test runner's output pipe is inherited by them.
  wineserver -p </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
  export LINTARO_ENV_READY=1
  {
    echo "export LINTARO_ENV_READY=1"
    for name in DISPLAY WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LANG LC_ALL LINTARO_RUN_DIR \
        LINTARO_PDF_DIR LINTARO_LPT1_FILE LINTARO_SCREENSHOT_DIR LINTARO_PRINTER \
        LINTARO_SECOND_PRINTER LINTARO_WIN_BUILD LINTARO_BUILD_ROOT LINTARO_CUPS_DIR CUPS_SERVER \
        LINTARO_PDF_DEVICE; do
      echo "export $name=${!name}"
    done
  } >"$LINTARO_RUN_DIR/env.sh"
}

# Ends a process we started: TERM, then KILL if it is still there after about 5 s.
_lintaro_end_process() {
  local pid=$1 tries=50
  [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null || return 0
  kill "$pid" 2>/dev/null
  while kill -0 "$pid" 2>/dev/null && ((tries-- > 0)); do sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
}

_lintaro_env_stop() {
  _lintaro_paths
  local xvfb_pid="${LINTARO_XVFB_PID:-}" cupsd_pid="${LINTARO_CUPSD_PID:-}" prefix="$WINEPREFIX"
  local cups_dir="${LINTARO_CUPS_DIR:-}"
  if [[ -f "$LINTARO_STATE_FILE" ]]; then
    local line
    while IFS= read -r line; do
      case "$line" in
        LINTARO_XVFB_PID=*) xvfb_pid="${line#*=}" ;;
        LINTARO_CUPSD_PID=*) cupsd_pid="${line#*=}" ;;
        LINTARO_WINEPREFIX=*) prefix="${line#*=}" ;;
        LINTARO_CUPS_DIR=*) cups_dir="${line#*=}" ;;
      esac
    done <"$LINTARO_STATE_FILE"
  fi
  _lintaro_end_process "$cupsd_pid"
  # Only the folder our start made.
  [[ "$cups_dir" == /tmp/lintaro-cups.* && -d "$cups_dir" ]] && rm -rf "$cups_dir"
  _lintaro_end_process "$xvfb_pid"
  if [[ -d "$prefix" ]]; then
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
    WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1
  fi
  rm -f "$LINTARO_STATE_FILE"
  LINTARO_XVFB_PID= LINTARO_CUPSD_PID=
  unset LINTARO_ENV_READY
}

# The public entry points run with errexit off, whatever the caller's shell options: failed
# probes (no wineserver to kill, a display in use) are expected here.
_lintaro_without_errexit() {
  local options=$- status
  set +e
  "$@"
  status=$?
  [[ $options == *e* ]] && set -e
  return $status
}

lintaro_env_start() { _lintaro_without_errexit _lintaro_env_start; }
lintaro_env_stop() { _lintaro_without_errexit _lintaro_env_stop; }
