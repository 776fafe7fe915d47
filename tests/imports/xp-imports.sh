#!/usr/bin/env bash
# Fails when a program's import table names a function Windows XP lacks:
# the loader then refuses to start the program there. The list holds what
# mingw-w64 builds are known to pull in (the POSIX-thread runtime, newer
# C++ library parts, registry and file calls of Vista), and the subclassing
# calls that XP's own comctl32 exports by ordinal only.
#   xp-imports.sh OBJDUMP PROGRAM
set -uo pipefail
objdump="${1:?objdump}"
program="${2:?program}"
[ -f "$program" ] || { echo "xp-imports: $program is missing (make win32 builds it)"; exit 1; }
post_xp=(
  GetTickCount64 InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared
  ReleaseSRWLockExclusive ReleaseSRWLockShared TryAcquireSRWLockExclusive
  InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
  WakeConditionVariable WakeAllConditionVariable InitOnceExecuteOnce InitOnceBeginInitialize
  InitOnceComplete GetFileInformationByHandleEx SetFileInformationByHandle
  GetFinalPathNameByHandleA GetFinalPathNameByHandleW CreateSymbolicLinkA CreateSymbolicLinkW
  FlsAlloc FlsFree FlsGetValue FlsSetValue GetSystemTimePreciseAsFileTime
  CompareStringEx LCMapStringEx GetLocaleInfoEx GetUserDefaultLocaleName
  CreateEventExA CreateEventExW CreateMutexExA CreateMutexExW CreateSemaphoreExW
  WaitOnAddress WakeByAddressSingle WakeByAddressAll QueryFullProcessImageNameA
  QueryFullProcessImageNameW CancelIoEx GetErrorMode SetThreadErrorMode
  RegDeleteKeyExA RegDeleteKeyExW RegGetValueA RegGetValueW RegDeleteTreeA RegDeleteTreeW
  RegSetKeyValueA RegCopyTreeA RegOpenKeyTransactedA SHGetKnownFolderPath SHCreateItemFromParsingName
  SetWindowSubclass RemoveWindowSubclass DefSubclassProc GetWindowSubclass
  IsWow64Process IsWow64Process2 Wow64DisableWow64FsRedirection Wow64RevertWow64FsRedirection
)
imports="$("$objdump" -p "$program" | awk -F'\t' '/DLL Name:/ { dll = 1; next } dll && NF >= 3 && $2 ~ /^[0-9a-f]+$/ { n = $3; sub(/^ *[0-9]+ +/, "", n); print n }')"
[ -n "$imports" ] || { echo "xp-imports: no import table read from $program"; exit 1; }
bad=()
for f in "${post_xp[@]}"; do
  grep -qxF "$f" <<<"$imports" && bad+=("$f")
done
if ((${#bad[@]})); then
  echo "xp-imports: $program imports what Windows XP lacks: ${bad[*]}"
  exit 1
fi
echo "xp-imports: $(wc -l <<<"$imports") imports, none newer than Windows XP"
