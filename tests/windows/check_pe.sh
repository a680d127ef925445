#!/bin/sh
# Usage: check_pe.sh OBJDUMP DLL EXPECTED_EXPORTS FORMAT
# Fails unless the DLL (objdump file format FORMAT, e.g. pei-i386) exports
# exactly the names in EXPECTED_EXPORTS, undecorated, under the module name
# ZoleHead.dll, and loads nothing but Windows system DLLs.
set -eu
objdump=$1 dll=$2 expected=$3 format=$4
tables=$("$objdump" -p "$dll")
fail=0

printf '%s\n' "$tables" | grep -q "file format $format\$" || { echo "not a $format image"; fail=1; }

actual=$(printf '%s\n' "$tables" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' | LC_ALL=C sort)
want=$(LC_ALL=C sort "$expected")
if [ "$actual" != "$want" ]; then
  echo "exports differ (< expected, > actual):"
  printf '%s\n' "$want" >"$dll.want.txt"
  printf '%s\n' "$actual" | diff "$dll.want.txt" - || true
  rm -f "$dll.want.txt"
  fail=1
fi
printf '%s\n' "$tables" | grep -Eq '^Name[[:space:]]+[0-9a-f]+ ZoleHead\.dll$' || { echo "export directory does not name ZoleHead.dll"; fail=1; }

# Only what every Windows system has: no libgcc, libstdc++ or libwinpthread.
imports=$(printf '%s\n' "$tables" | sed -n 's/^[[:space:]]*DLL Name: //p')
for name in $imports; do
  case $(printf '%s' "$name" | tr 'A-Z' 'a-z') in
    kernel32.dll|msvcrt.dll) ;;
    *) echo "imports $name"; fail=1 ;;
  esac
done
printf '%s\n' "$imports" | grep -qix 'kernel32.dll' || { echo "KERNEL32.dll not imported"; fail=1; }

# Address space layout randomisation and no-execute data, as Windows expects.
for flag in DYNAMIC_BASE NX_COMPAT; do
  printf '%s\n' "$tables" | grep -q "^[[:space:]]*$flag\$" || { echo "DllCharacteristics lacks $flag"; fail=1; }
done

[ "$fail" -eq 0 ] || exit 1
echo "exports: $(printf '%s\n' "$actual" | wc -l) undecorated names; imports: $(echo $imports)"
