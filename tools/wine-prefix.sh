# Sourced by the scripts that run the Windows build under Wine. make_wine_prefix <nt35|nt351>
# makes a fresh 64-bit prefix in a new work directory ($work) with its own X display (Xvfb),
# which reports Windows NT 3.5 build 807 (nt35) or 3.51 build 1057 (nt351), has the PostScript
# driver installed as an NT machine has, and runs its spooler. Everything is removed when the
# script ends, unless KEEP_WORK is set.

work=$(mktemp -d /tmp/norvale-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No offer to install Mono or Gecko, and no menu entries on the host for the Program Manager
# groups that a run makes.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
winpath() { echo "Z:${1//\//\\}"; }  # a host path as the prefix's drive Z: shows it

make_wine_prefix() {
  local version=$1
  # One X display for every Wine program of the run: the first one brings up Wine's desktop
  # process, which the others share.
  local display
  for display in $(seq 90 120); do [ -e /tmp/.X11-unix/X$display ] || break; done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$display"
  trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true
        [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
  sleep 1

  wineboot -i >/dev/null 2>&1
  wineserver -w
  local cv='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
  case $version in
    nt35)
      # Wine takes the version from these values when no named version is set.
      wine reg add "$cv" /v CurrentVersion /d 3.50 /f >/dev/null
      wine reg add "$cv" /v CurrentBuildNumber /d 807 /f >/dev/null
      wine reg add "$cv" /v CurrentBuild /d 807 /f >/dev/null ;;
    nt351)
      wine reg add 'HKCU\Software\Wine' /v Version /d nt351 /f >/dev/null ;;
    *) echo "the version is nt35 or nt351, not '$version'" >&2; exit 2 ;;
  esac
  # An NT machine has the PostScript driver installed; Wine has none, so its modules are put
  # where an installed driver keeps them (the version directory of the x64 environment), as the
  # matching profile does. The distribution path is there for completeness.
  drivers=$WINEPREFIX/drive_c/windows/system32/spool/drivers/x64
  mkdir -p "$drivers/3"
  printf 'PostScript driver placeholder\n' > "$drivers/3/pscript.dll"
  printf 'PostScript driver user interface placeholder\n' > "$drivers/3/pscrptui.dll"
  wine reg add 'HKLM\SYSTEM\Setup' /v WinntPath /d 'C:\I386' /f >/dev/null
  wineserver -k; wineserver -w
  # A persistent server keeps the spooler running between the programs started later.
  wineserver -p

  # Right after a fresh start the spooler refuses to start for a while (1055): wait it out.
  local attempt
  for attempt in $(seq 1 30); do
    if wine net start spooler >/dev/null 2>&1; then return 0; fi
    sleep 1
  done
  echo "the spooler of the Wine prefix did not start" >&2
  exit 1
}
