#!/usr/bin/env bash
# check_module_pe.sh OBJDUMP MODULE: the Windows module exports exactly
# rvtPlugInMsgHandler and imports from system DLLs only (no mingw runtime DLL).
set -euo pipefail
objdump="$1"
module="$2"
dump="$("$objdump" -p "$module")"
exports="$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<< "$dump" | grep -E '^\s*\[ *[0-9]+\]' | awk '{print $NF}' || true)"
if [ "$exports" != "rvtPlugInMsgHandler" ]; then
  echo "exports are not exactly rvtPlugInMsgHandler:"; echo "$exports"; exit 1
fi
count="$(grep -E 'Export Address Table\s+[0-9a-f]+$' <<< "$dump" | head -1 | awk '{print $NF}')"
if [ "$((16#$count))" -ne 1 ]; then
  echo "export address table holds $count entries"; exit 1
fi
system='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|version|wininet|ws2_32|msvcrt|ucrtbase|ntdll|shlwapi|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
while read -r dll; do
  if ! grep -qiE "$system" <<< "$dll"; then echo "imports a DLL that is not part of the system: $dll"; status=1; fi
done < <(grep 'DLL Name:' <<< "$dump" | awk '{print $3}')
[ "$status" -eq 0 ] && echo "one export, $(grep -c 'DLL Name:' <<< "$dump") system DLLs imported"
exit "$status"
