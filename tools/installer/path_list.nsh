; The user's PATH as a list of entries separated by ";".

Var PathItem
Var PathIndex
Var PathChar
Var PathCount

; Reads HKCU\Environment\Path into $R0 (empty when there is none). Sets $R9
; to "toolong" when the value exists but cannot be read whole into an
; installer string (NSIS_MAX_STRLEN characters), "ok" otherwise. Uses $R7, $R8.
!macro ReadUserPath
  StrCpy $R9 "ok"
  ClearErrors
  ReadRegStr $R0 HKCU "Environment" "Path"
  ${If} ${Errors}
    ; Either there is no Path, or it did not fit: look for the name.
    StrCpy $R0 ""
    StrCpy $R8 0
    ${Do}
      ClearErrors
      EnumRegValue $R7 HKCU "Environment" $R8
      ${If} ${Errors}
      ${OrIf} $R7 == ""
        ${ExitDo}
      ${EndIf}
      ${If} $R7 == "Path"
        StrCpy $R9 "toolong"
        ${ExitDo}
      ${EndIf}
      IntOp $R8 $R8 + 1
    ${Loop}
  ${Else}
    StrLen $R7 $R0
    IntOp $R8 ${NSIS_MAX_STRLEN} - 1
    ${If} $R7 >= $R8
      StrCpy $R9 "toolong"
    ${EndIf}
  ${EndIf}
!macroend

; Sets RESULT to LIST without the entries equal to ENTRY (ignoring case and a
; trailing backslash) and FOUND to 1 when there was one, 0 otherwise. Every
; other entry, empty ones included, is kept as it was. RESULT must be another
; variable than LIST.
!macro PathListWithout LIST ENTRY RESULT FOUND
  StrCpy ${RESULT} ""
  StrCpy ${FOUND} 0
  StrCpy $PathItem ""
  StrCpy $PathIndex 0
  StrCpy $PathCount 0
  ${Do}
    StrCpy $PathChar ${LIST} 1 $PathIndex
    ${If} $PathChar == ";"
    ${OrIf} $PathChar == ""
      ${If} $PathItem == "${ENTRY}"
      ${OrIf} $PathItem == "${ENTRY}\"
        StrCpy ${FOUND} 1
      ${Else}
        ${If} $PathCount > 0
          StrCpy ${RESULT} "${RESULT};$PathItem"
        ${Else}
          StrCpy ${RESULT} "$PathItem"
        ${EndIf}
        IntOp $PathCount $PathCount + 1
      ${EndIf}
      StrCpy $PathItem ""
      ${If} $PathChar == ""
        ${ExitDo}
      ${EndIf}
    ${Else}
      StrCpy $PathItem "$PathItem$PathChar"
    ${EndIf}
    IntOp $PathIndex $PathIndex + 1
  ${Loop}
!macroend
