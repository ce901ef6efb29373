# Sourced, not run: what several scripts under scripts/ and bench/ share.

# Runs the calling script again, with the arguments given, on a private X server (800x600, no
# network, left as it is between the programs that come and go), after installing what is
# missing; on that server, returns at once. Xvfb's own messages say why it could not start.
on_private_x() {
  [[ -z "${PLINDOR_PRIVATE_X:-}" ]] || return 0
  "$(dirname "${BASH_SOURCE[0]}")/install-deps" >/dev/null
  exec env PLINDOR_PRIVATE_X=1 xvfb-run -a -e /dev/stderr \
    -s "-screen 0 800x600x24 -nolisten tcp -noreset" "$0" "$@"
}

# Runs a command every 0.2 s until it succeeds, for at most 30 s; fails if it never does.
keep_trying() {
  for _ in $(seq 150); do "$@" && return 0; sleep 0.2; done
  return 1
}

# The median of column $1 of the lines on standard input.
median() {
  awk -v c="$1" '{ print $c }' | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Writes a project as a pre-release build saved it into folder $1, anew: Sample.vbp, two forms
# (one in a subfolder) and a user control, with CRLF line ends.
write_sample() {
  local component
  rm -rf "$1"
  mkdir -p "$1/Forms"
  printf '%s\r\n' 'Type=Exe' 'Object={6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0; MSCOMCTL.OCX' \
    'Form=Main.frm' 'Form=Forms\Other.frm' 'UserControl=Gauge.ctl' 'Name="Sample"' >"$1/Sample.vbp"
  for component in Main.frm Forms/Other.frm Gauge.ctl; do
    printf '%s\r\n' 'VERSION 5.00' \
      'Object = "{6B7E6392-850A-101B-AFC0-4210102A8DA7}#2.0#0"; "MSCOMCTL.OCX"' \
      '   Begin ComctlLib.ListView ListView1' >"$1/$component"
  done
}
