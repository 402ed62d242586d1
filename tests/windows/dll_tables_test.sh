#!/bin/sh
# Reads a DLL's export or import table with the cross binutils' objdump.
#   dll_tables_test.sh OBJDUMP DLL exports   vexmor.dll: the eight entry points under their
#                                            plain names (no decoration, no C++ name), and
#                                            nothing else
#   dll_tables_test.sh OBJDUMP DLL reader-exports   vexmor_read.dll: its two entry points only
#   dll_tables_test.sh OBJDUMP DLL imports   Windows' own DLLs only: the C++ runtime, libgcc
#                                            and winpthreads are linked in
set -eu
objdump=$1
dll=$2
table=$3
headers=$("$objdump" -p "$dll")
case $table in
  exports | reader-exports)
    if [ "$table" = exports ]; then
      expected='VX_Diedral_Angle
VX_Draft_Angle
VX_Edge_Diedral_Angle
VX_Thickness_Computation_DN2S
VX_Thickness_Computation_LSCP
VX_Thickness_Computation_LSR
VX_Thickness_Gradient
VX_Thickness_RayTracing'
    else
      expected='VXR_Free
VXR_Read'
    fi
    actual=$(printf '%s\n' "$headers" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | LC_ALL=C sort)
    ;;
  imports)
    expected='KERNEL32.dll
msvcrt.dll'
    actual=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | LC_ALL=C sort)
    ;;
  *)
    echo "unknown table '$table'" >&2
    exit 2
    ;;
esac
if [ "$actual" != "$expected" ]; then
  printf '%s of %s:\n%s\nexpected:\n%s\n' "$table" "$dll" "$actual" "$expected"
  exit 1
fi
printf '%s of %s:\n%s\n' "$table" "$dll" "$actual"
