; The update's job written the plain NSIS way, as a user of NSIS would build
; it: the reference the setup is measured against. Silent, like
; "VespodarUpdate.exe modest"; same exit codes for the cases that matter here.
;
;   makensis -V2 -DPACKAGE=/path/to/vdq2.cok -DOUTFILE=/path/to/VespodarNsis.exe vespodar.nsi
;   makensis -V2 -DSOLID_LZMA -DPACKAGE=... -DOUTFILE=... vespodar.nsi   (compressed)

!ifndef PACKAGE
  !error "pass -DPACKAGE=/path/to/vdq2.cok"
!endif
!ifndef OUTFILE
  !define OUTFILE "VespodarNsis.exe"
!endif

Unicode true
; x86-unicode by default; amd64-unicode on a machine whose Wine runs only
; 64-bit programs (bench/common.sh).
!ifdef TARGET
  Target ${TARGET}
!endif
SilentInstall silent
RequestExecutionLevel admin
; The setup carries its package uncompressed, so this one does too: with a
; compressor, "executable size minus package size" would credit NSIS with what
; the compressor saves on the package instead of measuring NSIS's own weight,
; and the run would pay for decompressing 2 MB. SetCompress off stores the data
; raw; zlib then only picks the stub, and its decoder is the smallest of the
; three (no dictionary buffer as with lzma, no bzip2 tables).
;
; -DSOLID_LZMA builds the installer an NSIS user would ship a large file in:
; the whole data block compressed with LZMA in one piece (NSIS's default
; dictionary of 8 MB), for bench/run_encoded.sh's compressed updates.
!ifdef SOLID_LZMA
  SetCompressor /SOLID lzma
!else
  SetCompressor zlib
  SetCompress off
!endif
SetDatablockOptimize on
XPStyle off
Name "Vespodar update"
OutFile "${OUTFILE}"
ShowInstDetails nevershow

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vespodar"

; The setup's exit codes (setup/exit_codes.h) for the same cases.
!define EXIT_FAILURE 1603
!define EXIT_NOT_INSTALLED 1605

Section
  ; The 64-bit view first on 64-bit Windows, then the 32-bit one, as the setup
  ; reads them; the value is then written into the view it was found in.
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ClearErrors
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "UninstallString"
  ${If} ${Errors}
  ${AndIf} ${RunningX64}
    SetRegView 32
    ClearErrors
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "UninstallString"
  ${EndIf}
  ${If} ${Errors}
    SetErrorLevel ${EXIT_NOT_INSTALLED}
    Quit
  ${EndIf}

  ; A quoted UninstallString: only what is between the quotes is the path.
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
      ${IfThen} $1 == '"' ${|} ${ExitDo} ${|}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  ; The directory: everything before the last backslash.
  ${GetParent} $0 $INSTDIR
  ${If} $INSTDIR == ""
    SetErrorLevel ${EXIT_NOT_INSTALLED}
    Quit
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\Vespodar.exe"
    SetErrorLevel ${EXIT_NOT_INSTALLED}
    Quit
  ${EndIf}

  SetOutPath $INSTDIR
  SetOverwrite on
  ClearErrors
  File "/oname=vdq2.cok" "${PACKAGE}"
  ${If} ${Errors}
    SetErrorLevel ${EXIT_FAILURE}
    Quit
  ${EndIf}

  ; KiB, rounded down, like the setup's EstimatedSize.
  ${GetSize} "$INSTDIR" "/S=0K" $3 $4 $5
  ${If} ${Errors}
    SetErrorLevel ${EXIT_FAILURE}
    Quit
  ${EndIf}
  ClearErrors
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $3
  ${If} ${Errors}
    SetErrorLevel ${EXIT_FAILURE}
    Quit
  ${EndIf}
  SetErrorLevel 0
SectionEnd
