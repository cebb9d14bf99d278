; Times FileFunc's ${GetSize} alone, inside the NSIS process, on the tree given
; on the command line, so the figure leaves out the start-up that the whole-run
; benchmark already covers.
;
;   NsisSizeWalk.exe /DIR=C:\tree /OUT=C:\result.txt
; writes one line: counter-before counter-after counter-frequency KiB files dirs

!ifndef OUTFILE
  !define OUTFILE "NsisSizeWalk.exe"
!endif

Unicode true
; x86-unicode by default; amd64-unicode on a machine whose Wine runs only
; 64-bit programs (bench/common.sh).
!ifdef TARGET
  Target ${TARGET}
!endif
SilentInstall silent
RequestExecutionLevel user
SetCompressor zlib
SetCompress off
Name "GetSize timing"
OutFile "${OUTFILE}"

!include LogicLib.nsh
!include FileFunc.nsh

Section
  ${GetParameters} $R0
  ${GetOptions} $R0 "/DIR=" $R1
  ${GetOptions} $R0 "/OUT=" $R2
  ; The first System call loads the plug-in; it must not land inside the
  ; timed interval.
  System::Call "kernel32::QueryPerformanceFrequency(*l .r7)"
  System::Call "kernel32::QueryPerformanceCounter(*l .r8)"
  ${GetSize} "$R1" "/S=0K" $3 $4 $5
  System::Call "kernel32::QueryPerformanceCounter(*l .r9)"
  ${If} ${Errors}
    SetErrorLevel 1
  ${EndIf}
  FileOpen $6 "$R2" w
  FileWrite $6 "$8 $9 $7 $3 $4 $5$\r$\n"
  FileClose $6
SectionEnd
