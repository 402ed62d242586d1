#!/bin/sh
# Runs the cross-built vexmor.exe as a person does on Windows.
#   program_test.sh RUNNER PROGRAM WORKDIR sample   no arguments: the sample part's analysis
#   program_test.sh RUNNER PROGRAM WORKDIR files    writes the sample part, analyses the file
#                                                   and writes its results
#   program_test.sh RUNNER PROGRAM WORKDIR report   writes the sample part's HTML report
#   program_test.sh RUNNER PROGRAM WORKDIR pictures refuses --png, --svg and --pdf, saying
#                                                   why, before analysing
set -eu
runner=$1
program=$2
work=$3
case=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
  echo "FAILED: $*"
  exit 1
}
# Exits on a non-zero status; the program's lines end with a carriage return on Windows.
run() {
  status=0
  $runner "$program" "$@" >out.txt 2>err.txt || status=$?
  tr -d '\r' <out.txt >stdout.txt
  cat stdout.txt err.txt
  [ "$status" -eq 0 ] || fail "vexmor $* exited with $status"
}
expect_line() {
  grep -Eq "$1" "$2" || fail "no line matching '$1' in $2"
}

case $case in
  sample)
    run
    expect_line '^Mesh check$' stdout.txt
    expect_line '^  verdict +ready for every analysis$' stdout.txt
    expect_line '^Thickness: ray tracing' stdout.txt
    expect_line '^Thickness gradient' stdout.txt
    expect_line '^Draft against the pull direction' stdout.txt
    expect_line '^Dihedral' stdout.txt
    ;;
  files)
    run sample -o tray.stl
    [ -s tray.stl ] || fail "tray.stl not written"
    run analyze tray.stl --json -o tray.vtp
    expect_line '"accepted": true' stdout.txt
    expect_line '"faces": 1960' stdout.txt
    expect_line '"library_status": 0' stdout.txt
    head -c 200 tray.vtp | grep -q '<VTKFile' || fail "tray.vtp is not a VTK file"
    ;;
  report)
    run report -o tray.html -q
    [ -s tray.html ] || fail "tray.html not written"
    expect_line '^<!doctype html>' tray.html
    # three.js is carried inside the page, so that it opens without a network.
    grep -q 'THREE' tray.html || fail "tray.html carries no three.js"
    ;;
  pictures)
    for format in png svg pdf; do
      status=0
      $runner "$program" analyze --$format tray.$format -q >out.txt 2>err.txt || status=$?
      cat out.txt err.txt
      [ "$status" -eq 2 ] || fail "vexmor analyze --$format exited with $status, not 2"
      expect_line 'draws no pictures' err.txt
      [ ! -s out.txt ] || fail "vexmor analyze --$format analysed the part before refusing"
      [ ! -e tray.$format ] || fail "tray.$format written"
    done
    ;;
  *)
    fail "unknown case '$case'"
    ;;
esac
